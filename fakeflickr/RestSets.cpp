// Photo sets as a caller sees them: members removed from the stream are gone, and
// only the owner sees private ones. A set whose every member was removed is gone too.
#include "RestApi.h"

#include "Xml.h"

#include <algorithm>

namespace fakeflickr {

namespace {

// The members of one set that a caller sees, in the set's order.
class SetView {
public:
    SetView(const PhotoLibrary& library, int number, bool owner)
        : m_library(library), m_number(number), m_count(library.stream().setAt(number).count) {
        // The owner of an untouched stream sees every member: no list needed.
        m_filtered = !owner || library.hasRemovals();
        if (m_filtered)
            for (int j = 0; j < m_count; ++j)
                if (const int index = member(j); library.isVisible(owner, index))
                    m_visible.push_back(index);
    }
    int size() const { return m_filtered ? int(m_visible.size()) : m_count; }
    int at(int j) const { return m_filtered ? m_visible[std::size_t(j)] : member(j); }
    // The set's cover: its first member the caller sees, else its first one left.
    int primary() const {
        if (size() > 0)
            return at(0);
        for (int j = 0; j < m_count; ++j)
            if (!m_library.isRemoved(member(j)))
                return member(j);
        return member(0);
    }
    int videos() const {
        int n = 0;
        for (int j = 0; j < size(); ++j)
            n += m_library.stream().isVideoAt(at(j)) ? 1 : 0;
        return n;
    }

private:
    int member(int j) const { return m_library.stream().setMember(m_number, j); }

    const PhotoLibrary& m_library;
    int m_number;
    int m_count;
    bool m_filtered = false;
    std::vector<int> m_visible;
};

// Flickr deletes a set when its last picture goes.
bool setIsLeft(const PhotoLibrary& library, int number) {
    const int count = library.stream().setAt(number).count;
    for (int j = 0; j < count; ++j)
        if (!library.isRemoved(library.stream().setMember(number, j)))
            return true;
    return false;
}

std::vector<int> setsLeft(const PhotoLibrary& library) {
    std::vector<int> out;
    for (int k = 0; k < library.stream().setCount(); ++k)
        if (!library.hasRemovals() || setIsLeft(library, k))
            out.push_back(k);
    return out;
}

} // namespace

RestAnswer RestApi::setsGetList(const Params& args, const Caller& caller) {
    if (!isUser(args.value(QStringLiteral("user_id"))))
        return error(1, QStringLiteral("User not found"));
    const Photostream& stream = m_library.stream();
    const std::vector<int> sets = setsLeft(m_library);
    const int total = int(sets.size());
    const Paging pg = paging(args, total, kMaxPerPage);
    Xml xml;
    xml.open("photosets").attr("page", pg.page).attr("pages", pg.pages).attr("perpage", pg.perPage)
        .attr("total", total).attr("cancreate", 1);
    for (int s = pg.first; s < std::min(total, pg.first + pg.perPage); ++s) {
        const PhotoSet set = stream.setAt(sets[std::size_t(s)]);
        const SetView view(m_library, set.number, caller.owner);
        const Photo primary = m_library.photo(view.primary());
        const int videos = view.videos(), photos = view.size() - videos;
        xml.open("photoset").attr("id", set.id).attr("primary", primary.id).attr("secret", primary.secret)
            .attr("server", primary.server).attr("farm", primary.farm).attr("count_views", 0)
            .attr("count_comments", 0).attr("count_photos", photos).attr("count_videos", videos)
            .attr("photos", photos).attr("videos", videos).attr("can_comment", 1)
            .attr("date_create", set.dateCreate).attr("date_update", set.dateCreate + 3600);
        xml.element("title", set.title).element("description", set.description).close("photoset");
    }
    xml.close("photosets");
    return ok(xml.bytes());
}

RestAnswer RestApi::setsGetPhotos(const Params& args, const Caller& caller) {
    const Photostream& stream = m_library.stream();
    const auto number = stream.setNumberOfId(args.value(QStringLiteral("photoset_id")));
    if (!number || (m_library.hasRemovals() && !setIsLeft(m_library, *number)))
        return error(1, QStringLiteral("Photoset not found"));
    const PhotoSet set = stream.setAt(*number);
    const SetView view(m_library, *number, caller.owner);
    const QStringList extras = extrasOf(args);
    const Paging pg = paging(args, view.size(), kMaxPerPage);
    const qint64 primaryId = m_library.photo(view.primary()).id;
    Xml xml;
    xml.open("photoset").attr("id", set.id).attr("primary", primaryId).attr("owner", m_nsid)
        .attr("ownername", m_options.userName).attr("page", pg.page).attr("per_page", pg.perPage)
        .attr("perpage", pg.perPage).attr("pages", pg.pages).attr("title", set.title).attr("total", view.size());
    for (int j = pg.first; j < std::min(view.size(), pg.first + pg.perPage); ++j) {
        const Photo p = m_library.photo(view.at(j));
        xml.open("photo").attr("id", p.id).attr("secret", p.secret).attr("server", p.server).attr("farm", p.farm)
            .attr("title", p.title).attr("isprimary", p.id == primaryId).attr("ispublic", p.isPublic)
            .attr("isfriend", p.isFriend).attr("isfamily", p.isFamily);
        writePhotoExtras(xml, p, extras);
        xml.close("photo");
    }
    xml.close("photoset");
    return ok(xml.bytes());
}

RestAnswer RestApi::setsGetInfo(const Params& args, const Caller& caller) {
    const Photostream& stream = m_library.stream();
    const auto number = stream.setNumberOfId(args.value(QStringLiteral("photoset_id")));
    if (!number || !isUser(args.value(QStringLiteral("user_id")))
        || (m_library.hasRemovals() && !setIsLeft(m_library, *number)))
        return error(1, QStringLiteral("Photoset not found"));
    const PhotoSet set = stream.setAt(*number);
    const SetView view(m_library, *number, caller.owner);
    const Photo primary = m_library.photo(view.primary());
    const int videos = view.videos(), photos = view.size() - videos;
    Xml xml;
    xml.open("photoset").attr("id", set.id).attr("owner", m_nsid).attr("username", m_options.userName)
        .attr("primary", primary.id).attr("secret", primary.secret).attr("server", primary.server)
        .attr("farm", primary.farm).attr("photos", photos).attr("videos", videos).attr("count_views", 0)
        .attr("count_comments", 0).attr("can_comment", 1).attr("date_create", set.dateCreate)
        .attr("date_update", set.dateCreate + 3600);
    xml.element("title", set.title).element("description", set.description).close("photoset");
    return ok(xml.bytes());
}

} // namespace fakeflickr

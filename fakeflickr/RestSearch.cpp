// Lists of pictures picked by what they are: flickr.photos.search, getNotInSet and
// recentlyUpdated, each a page of Flickr's standard photo list.
#include "RestApi.h"

#include "Xml.h"

#include <algorithm>

namespace fakeflickr {

namespace {

// The upload and taken bounds, inclusive, that a list's arguments ask for.
struct DateFilter {
    std::optional<qint64> minUpload, maxUpload, minTaken, maxTaken;

    explicit DateFilter(const Params& args) {
        const auto bound = [&](const char* name) { return parseFlickrDate(args.value(QLatin1String(name))); };
        minUpload = bound("min_upload_date");
        maxUpload = bound("max_upload_date");
        minTaken = bound("min_taken_date");
        maxTaken = bound("max_taken_date");
    }
    bool any() const { return minUpload || maxUpload || minTaken || maxTaken; }
    bool accepts(qint64 upload, qint64 taken) const {
        return (!minUpload || upload >= *minUpload) && (!maxUpload || upload <= *maxUpload)
               && (!minTaken || taken >= *minTaken) && (!maxTaken || taken <= *maxTaken);
    }
};

bool mediaAccepts(const Params& args, bool isVideo) {
    const QString media = args.value(QStringLiteral("media"));
    return media == QLatin1String("photos") ? !isVideo : media == QLatin1String("videos") ? isVideo : true;
}

// Terms of a tags or text argument; a leading "-" excludes a term.
struct Terms {
    QStringList wanted, excluded;
    Terms(const QStringList& words, bool asTags) {
        for (QString word : words) {
            word = word.trimmed();
            const bool exclude = word.startsWith(QLatin1Char('-'));
            word = exclude ? word.mid(1) : word;
            word = asTags ? normalizedTag(word) : word.toLower();
            if (!word.isEmpty())
                (exclude ? excluded : wanted) << word;
        }
    }
    bool empty() const { return wanted.isEmpty() && excluded.isEmpty(); }
};

} // namespace

RestAnswer RestApi::photoList(const std::vector<int>& indexes, const Params& args, const char* alsoExtra) const {
    QStringList extras = extrasOf(args);
    if (alsoExtra)
        extras << QLatin1String(alsoExtra);
    const int total = int(indexes.size());
    const Paging pg = paging(args, total, 100);
    Xml xml;
    xml.open("photos").attr("page", pg.page).attr("pages", pg.pages).attr("perpage", pg.perPage).attr("total", total);
    for (int k = pg.first; k < std::min(total, pg.first + pg.perPage); ++k)
        writePhotoElement(xml, m_library.photo(indexes[std::size_t(k)]), extras);
    xml.close("photos");
    return ok(xml.bytes());
}

RestAnswer RestApi::search(const Params& args, const Caller& caller) {
    const QString userId = args.value(QStringLiteral("user_id"));
    // "me" is the caller of a call made with a token; without one there is nobody.
    if (!userId.isEmpty() && (!isUser(userId) || (userId == QLatin1String("me") && caller.perms.isEmpty())))
        return error(2, QStringLiteral("Unknown user"));
    const Terms tags(args.value(QStringLiteral("tags")).split(QLatin1Char(','), Qt::SkipEmptyParts), true);
    const Terms text(args.value(QStringLiteral("text")).split(QLatin1Char(' '), Qt::SkipEmptyParts), false);
    const DateFilter dates(args);
    if (userId.isEmpty() && tags.empty() && text.empty() && !dates.any())
        return error(3, QStringLiteral("Parameterless searches have been disabled. "
                                       "Please use flickr.photos.getRecent instead."));
    const bool all = args.value(QStringLiteral("tag_mode")) == QLatin1String("all");
    // Without a user Flickr searches everybody's public pictures, the caller's own included.
    const bool owner = caller.owner && !userId.isEmpty();

    std::vector<int> found;
    const int n = m_library.visibleCount(owner);
    for (int k = 0; k < n; ++k) {
        const int i = m_library.visibleAt(owner, k);
        const Photo p = m_library.photo(i);
        if (!dates.accepts(p.dateUpload, m_library.takenSeconds(i)) || !mediaAccepts(args, p.isVideo))
            continue;
        const QStringList normal = p.normalizedTags();
        const auto hasTag = [&](const QString& t) { return normal.contains(t); };
        const int tagHits = int(std::count_if(tags.wanted.cbegin(), tags.wanted.cend(), hasTag));
        if ((tagHits == 0 && !tags.wanted.isEmpty()) || (all && tagHits < tags.wanted.size())
            || std::any_of(tags.excluded.cbegin(), tags.excluded.cend(), hasTag))
            continue;
        const QString haystack = (p.title + QLatin1Char('\n') + p.description + QLatin1Char('\n')
                                  + p.rawTags.join(QLatin1Char('\n')) + QLatin1Char('\n') + normal.join(QLatin1Char(' ')))
                                     .toLower();
        const auto inText = [&](const QString& t) { return haystack.contains(t); };
        if (std::all_of(text.wanted.cbegin(), text.wanted.cend(), inText)
            && std::none_of(text.excluded.cbegin(), text.excluded.cend(), inText))
            found.push_back(i);
    }
    // The stream is newest upload first, Flickr's default order.
    const QString sort = args.value(QStringLiteral("sort"));
    if (sort == QLatin1String("date-posted-asc"))
        std::reverse(found.begin(), found.end());
    else if (sort == QLatin1String("date-taken-asc") || sort == QLatin1String("date-taken-desc"))
        std::stable_sort(found.begin(), found.end(), [&](int a, int b) {
            const qint64 ta = m_library.takenSeconds(a), tb = m_library.takenSeconds(b);
            return sort.endsWith(QLatin1String("asc")) ? ta < tb : ta > tb;
        });
    return photoList(found, args);
}

RestAnswer RestApi::getNotInSet(const Params& args, const Caller& caller) {
    const Photostream& stream = m_library.stream();
    std::vector<bool> inSet(std::size_t(stream.size()), false);
    for (int s = 0; s < stream.setCount(); ++s) {
        const int count = stream.setAt(s).count;
        for (int j = 0; j < count; ++j)
            inSet[std::size_t(stream.setMember(s, j))] = true;
    }
    const DateFilter dates(args);
    std::vector<int> found;
    const int n = m_library.visibleCount(caller.owner);
    for (int k = 0; k < n; ++k) {
        const int i = m_library.visibleAt(caller.owner, k);
        if (inSet[std::size_t(i)])
            continue;
        const Photo p = m_library.photo(i);
        if (dates.accepts(p.dateUpload, m_library.takenSeconds(i)) && mediaAccepts(args, p.isVideo))
            found.push_back(i);
    }
    return photoList(found, args);
}

RestAnswer RestApi::recentlyUpdated(const Params& args, const Caller& caller) {
    if (!args.contains(QStringLiteral("min_date")))
        return error(1, QStringLiteral("Required argument missing."));
    const auto since = parseFlickrDate(args.value(QStringLiteral("min_date")));
    if (!since)
        return error(2, QStringLiteral("Not a valid date"));
    std::vector<std::pair<qint64, int>> changed;
    const int n = m_library.visibleCount(caller.owner);
    for (int k = 0; k < n; ++k) {
        const int i = m_library.visibleAt(caller.owner, k);
        const qint64 updated = m_library.photo(i).lastUpdate;
        if (updated >= *since)
            changed.push_back({updated, i});
    }
    // Newest change first.
    std::stable_sort(changed.begin(), changed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<int> found;
    for (const auto& entry : changed)
        found.push_back(entry.second);
    return photoList(found, args, "last_update");
}

} // namespace fakeflickr

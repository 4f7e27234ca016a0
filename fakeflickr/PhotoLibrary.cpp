// The photostream as the service holds it: edits, removals and what each caller sees.
#include "Photostream.h"

#include <QDateTime>

#include <algorithm>

namespace fakeflickr {

Photo PhotoLibrary::photo(int index) const {
    const auto it = m_edited.find(index);
    return it != m_edited.end() ? it->second : m_stream.photoAt(index);
}

std::optional<Photo> PhotoLibrary::photoById(const QString& id) const {
    const auto index = m_stream.indexOfId(id);
    if (!index || isRemoved(*index))
        return std::nullopt;
    return photo(*index);
}

void PhotoLibrary::store(const Photo& photo) {
    m_edited[photo.index] = photo;
    // Permissions may have changed, and with them who sees the picture.
    m_viewValid[0] = false;
}

void PhotoLibrary::storeEdited(Photo photo) {
    photo.lastUpdate = std::max(photo.lastUpdate + 1, QDateTime::currentSecsSinceEpoch());
    store(photo);
}

qint64 PhotoLibrary::takenSeconds(int index) const {
    const auto it = m_edited.find(index);
    if (it == m_edited.end())
        return m_stream.takenSecondsAt(index);
    auto when = QDateTime::fromString(it->second.dateTaken, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    when.setTimeSpec(Qt::UTC);
    return when.toSecsSinceEpoch();
}

bool PhotoLibrary::isPublic(int index) const {
    const auto it = m_edited.find(index);
    return it != m_edited.end() ? it->second.isPublic : m_stream.isPublicAt(index);
}

void PhotoLibrary::remove(int index) {
    if (index < 0 || index >= m_stream.size())
        return;
    m_removed.insert(index);
    m_viewValid[0] = m_viewValid[1] = false;
}

const std::vector<int>& PhotoLibrary::view(bool owner) const {
    std::vector<int>& positions = m_views[owner ? 1 : 0];
    if (!m_viewValid[owner ? 1 : 0]) {
        positions.clear();
        for (int i = 0; i < m_stream.size(); ++i)
            if (isVisible(owner, i))
                positions.push_back(i);
        positions.shrink_to_fit();
        m_viewValid[owner ? 1 : 0] = true;
    }
    return positions;
}

int PhotoLibrary::visibleCount(bool owner) const {
    // The owner of an untouched stream sees it whole: no list needed.
    if (owner && !hasRemovals())
        return m_stream.size();
    return int(view(owner).size());
}

int PhotoLibrary::visibleAt(bool owner, int position) const {
    if (owner && !hasRemovals())
        return position;
    return view(owner)[std::size_t(position)];
}

} // namespace fakeflickr

// Who is calling and who the user is: the methods clients call before anything else,
// and the user's (empty) collections.
#include "RestApi.h"

#include "Xml.h"

#include <QRegularExpression>

#include <algorithm>

namespace fakeflickr {

RestAnswer RestApi::checkToken(const Params& args, const Caller& caller) {
    // Flickr takes this call signed by OAuth only; the server has already refused unknown tokens.
    if (!args.contains(QStringLiteral("oauth_signature")))
        return error(97, QStringLiteral("Missing signature"));
    const QString token = args.value(QStringLiteral("oauth_token"));
    if (token.isEmpty() || caller.perms.isEmpty())
        return error(98, QStringLiteral("Invalid auth token"));
    const QString user = userNameOf(caller);
    Xml xml;
    xml.open("oauth").element("token", token).element("perms", caller.perms);
    xml.open("user").attr("nsid", m_nsid).attr("username", user)
        .attr("fullname", user == m_options.userName ? m_options.fullName : user).close("user");
    xml.close("oauth");
    return ok(xml.bytes());
}

RestAnswer RestApi::testEcho(const Params& args, const Caller&) {
    Xml xml;
    // Every argument comes back as an element, but the signature's own parameters.
    for (auto it = args.cbegin(); it != args.cend(); ++it) {
        static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]*$"));
        if (!it.key().startsWith(QLatin1String("oauth_")) && it.key() != QLatin1String("api_sig")
            && name.match(it.key()).hasMatch())
            xml.element(it.key().toUtf8().constData(), it.value());
    }
    return ok(xml.bytes());
}

RestAnswer RestApi::testNull(const Params&, const Caller&) {
    return ok();
}

RestAnswer RestApi::peopleGetInfo(const Params& args, const Caller& caller) {
    const QString userId = args.value(QStringLiteral("user_id"));
    if (userId.isEmpty() || userId == QLatin1String("me") || !isUser(userId))
        return error(1, QStringLiteral("User not found"));
    const int count = m_library.visibleCount(caller.owner);
    qint64 firstUpload = 0, firstTaken = 0;
    for (int k = 0; k < count; ++k) {
        const int i = m_library.visibleAt(caller.owner, k);
        const qint64 upload = m_library.photo(i).dateUpload, taken = m_library.takenSeconds(i);
        firstUpload = k == 0 ? upload : std::min(firstUpload, upload);
        firstTaken = k == 0 ? taken : std::min(firstTaken, taken);
    }
    Xml xml;
    xml.open("person").attr("id", m_nsid).attr("nsid", m_nsid).attr("ispro", m_options.pro ? 1 : 0)
        .attr("iconserver", 0).attr("iconfarm", 0).attr("path_alias", m_options.userName);
    xml.element("username", m_options.userName).element("realname", m_options.fullName)
        .element("location", QString()).element("description", QString())
        .element("photosurl", m_baseUrl + QStringLiteral("/photos/") + m_options.userName + QLatin1Char('/'))
        .element("profileurl", m_baseUrl + QStringLiteral("/people/") + m_options.userName + QLatin1Char('/'));
    xml.open("photos");
    if (count > 0)
        xml.element("firstdate", QString::number(firstUpload)).element("firstdatetaken", formatDateTime(firstTaken));
    xml.element("count", QString::number(count)).close("photos").close("person");
    return ok(xml.bytes());
}

RestAnswer RestApi::findByUsername(const Params& args, const Caller&) {
    // Flickr matches user names without regard to case.
    if (args.value(QStringLiteral("username")).compare(m_options.userName, Qt::CaseInsensitive) != 0)
        return error(1, QStringLiteral("User not found"));
    Xml xml;
    xml.open("user").attr("id", m_nsid).attr("nsid", m_nsid).element("username", m_options.userName).close("user");
    return ok(xml.bytes());
}

RestAnswer RestApi::collectionsGetTree(const Params& args, const Caller&) {
    if (!isUser(args.value(QStringLiteral("user_id"))))
        return error(2, QStringLiteral("User not found"));
    // The stand-in's user keeps no collections.
    const QString collection = args.value(QStringLiteral("collection_id"));
    if (!collection.isEmpty() && collection != QLatin1String("0"))
        return error(1, QStringLiteral("Collection not found"));
    Xml xml;
    xml.open("collections").close("collections");
    return ok(xml.bytes());
}

} // namespace fakeflickr

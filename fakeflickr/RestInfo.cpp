// What one picture is on Flickr: flickr.photos.getInfo.
#include "RestApi.h"

#include "Xml.h"

namespace fakeflickr {

RestAnswer RestApi::getInfo(const Params& args, const Caller& caller) {
    const auto p = m_library.photoById(args.value(QStringLiteral("photo_id")));
    // A private picture does not exist for anybody but its owner.
    if (!p || (!p->isPublic && !caller.owner))
        return error(1, QStringLiteral("Photo not found"));
    Xml xml;
    xml.open("photo").attr("id", p->id).attr("secret", p->secret).attr("server", p->server).attr("farm", p->farm)
        .attr("dateuploaded", p->dateUpload).attr("isfavorite", 0).attr("license", p->license)
        .attr("safety_level", 0).attr("rotation", 0);
    if (p->hasOriginalUrl && caller.owner)
        xml.attr("originalsecret", p->originalSecret).attr("originalformat", QStringLiteral("jpg"));
    xml.attr("views", p->views).attr("media", p->isVideo ? QStringLiteral("video") : QStringLiteral("photo"));
    xml.open("owner").attr("nsid", m_nsid).attr("username", m_options.userName)
        .attr("realname", m_options.fullName).attr("location", QString()).attr("iconserver", p->server)
        .attr("iconfarm", p->farm).attr("path_alias", m_options.userName).close("owner");
    xml.element("title", p->title);
    xml.element("description", p->description);
    xml.open("visibility").attr("ispublic", p->isPublic).attr("isfriend", p->isFriend)
        .attr("isfamily", p->isFamily).close("visibility");
    xml.open("dates").attr("posted", p->dateUpload).attr("taken", p->dateTaken).attr("takengranularity", 0)
        .attr("takenunknown", 0).attr("lastupdate", p->lastUpdate).close("dates");
    // Only the owner learns who may comment and add notes.
    if (caller.owner)
        xml.open("permissions").attr("permcomment", p->permComment).attr("permaddmeta", p->permAddMeta)
            .close("permissions");
    xml.open("editability").attr("cancomment", caller.owner ? 1 : 0).attr("canaddmeta", caller.owner ? 1 : 0)
        .close("editability");
    xml.open("publiceditability").attr("cancomment", 1).attr("canaddmeta", 0).close("publiceditability");
    xml.open("usage").attr("candownload", 1).attr("canblog", caller.owner ? 1 : 0)
        .attr("canprint", caller.owner ? 1 : 0).attr("canshare", 1).close("usage");
    xml.element("comments", QStringLiteral("0"));
    xml.open("notes").close("notes");
    xml.open("people").attr("haspeople", 0).close("people");
    writeTags(xml, *p);
    if (p->geotagged)
        xml.open("location").attr("latitude", coordinateText(p->latitude)).attr("longitude", coordinateText(p->longitude))
            .attr("accuracy", p->accuracy).attr("context", 0).close("location")
            .open("geoperms").attr("ispublic", 1).attr("iscontact", 0).attr("isfriend", 0).attr("isfamily", 0)
            .close("geoperms");
    xml.open("urls").open("url").attr("type", QStringLiteral("photopage"))
        .text(m_baseUrl + QStringLiteral("/photos/") + m_options.userName + QLatin1Char('/') + p->idText() + QLatin1Char('/'))
        .close("url").close("urls");
    xml.close("photo");
    return ok(xml.bytes());
}

} // namespace fakeflickr

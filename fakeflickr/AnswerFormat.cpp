// Flickr's JSON form of every REST answer, made from the XML one in one place so
// that both forms always say the same (faults that rewrite answers included).
#include "AnswerFormat.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <memory>
#include <vector>

namespace fakeflickr {

namespace {

struct Node {
    QString name;
    QList<std::pair<QString, QString>> attributes;
    QString text;
    std::vector<std::unique_ptr<Node>> children;
};

std::unique_ptr<Node> parse(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    std::unique_ptr<Node> root;
    std::vector<Node*> open;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            auto node = std::make_unique<Node>();
            node->name = reader.name().toString();
            for (const auto& a : reader.attributes())
                node->attributes.append({a.name().toString(), a.value().toString()});
            Node* raw = node.get();
            if (open.empty())
                root = std::move(node);
            else
                open.back()->children.push_back(std::move(node));
            open.push_back(raw);
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty())
                open.back()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || !root || root->name != QLatin1String("rsp"))
        return nullptr;
    return root;
}

// Elements Flickr answers as lists: the child is an array even when there is one
// item or none. A method limits an entry to its own answer.
struct ListKind {
    const char* method;  // nullptr: every method
    const char* parent;
    const char* child;
};
constexpr ListKind kLists[] = {
    {nullptr, "photos", "photo"},           {nullptr, "photoset", "photo"},
    {nullptr, "photosets", "photoset"},     {nullptr, "sizes", "size"},
    {nullptr, "photocounts", "photocount"}, {nullptr, "tags", "tag"},
    {nullptr, "notes", "note"},             {nullptr, "urls", "url"},
    {nullptr, "collections", "collection"}, {"flickr.photos.getExif", "photo", "exif"},
};

const ListKind* listOf(const QString& method, const QString& parent) {
    for (const ListKind& kind : kLists)
        if ((!kind.method || method == QLatin1String(kind.method)) && parent == QLatin1String(kind.parent))
            return &kind;
    return nullptr;
}

bool isNumberMember(const QString& name, const QString& value) {
    static const QSet<QString> names = {"page",     "pages",    "perpage",  "per_page", "total",    "farm",
                                        "iconfarm", "ispublic", "isfriend", "isfamily", "ispro",    "width",
                                        "height",   "canblog",  "canprint", "candownload"};
    static const QRegularExpression integer(QStringLiteral("^-?(0|[1-9][0-9]{0,15})$"));
    return names.contains(name) && integer.match(value).hasMatch();
}

QByteArray quoted(const QString& text) {
    QByteArray out = "\"";
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        // PHP's encoder, which Flickr's answers come from, escapes "/".
        case '/': out += "\\/"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toLatin1();
            else
                out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

QByteArray member(const QString& name, const QByteArray& value) {
    return quoted(name) + ':' + value;
}

QByteArray object(const Node& node, const QString& method);

// The members for an element's attributes, text and children, in document order.
QByteArrayList members(const Node& node, const QString& method) {
    QByteArrayList out;
    for (const auto& [name, value] : node.attributes)
        out << member(name, isNumberMember(name, value) ? value.toLatin1() : quoted(value));
    const ListKind* list = listOf(method, node.name);
    QStringList seen;
    for (const auto& child : node.children) {
        if (seen.contains(child->name))
            continue;
        seen << child->name;
        QByteArrayList same;
        for (const auto& other : node.children)
            if (other->name == child->name)
                same << object(*other, method);
        const bool array = same.size() > 1 || (list && child->name == QLatin1String(list->child));
        out << member(child->name, array ? '[' + same.join(',') + ']' : same.first());
    }
    if (list && node.children.empty())
        out << member(QString::fromLatin1(list->child), "[]");
    const QString text = node.children.empty() ? node.text : node.text.trimmed();
    if (!text.isEmpty() || (node.attributes.isEmpty() && node.children.empty() && !list))
        out << member(QStringLiteral("_content"), quoted(text));
    return out;
}

QByteArray object(const Node& node, const QString& method) {
    return '{' + members(node, method).join(',') + '}';
}

} // namespace

QByteArray jsonFromRest(const QByteArray& xml, const QString& method) {
    const auto rsp = parse(xml);
    if (!rsp)
        return xml;
    QString stat;
    for (const auto& [name, value] : rsp->attributes)
        if (name == QLatin1String("stat"))
            stat = value;
    if (stat == QLatin1String("fail")) {
        QString code, message;
        for (const auto& child : rsp->children) {
            for (const auto& [name, value] : child->attributes) {
                if (name == QLatin1String("code"))
                    code = value;
                else if (name == QLatin1String("msg"))
                    message = value;
            }
        }
        return "{\"stat\":\"fail\",\"code\":" + QByteArray::number(code.toInt()) + ",\"message\":" + quoted(message) + '}';
    }
    QByteArrayList out;
    for (const auto& child : rsp->children)
        out << member(child->name, object(*child, method));
    out << member(QStringLiteral("stat"), quoted(stat));
    return '{' + out.join(',') + '}';
}

std::optional<AnswerFormat> AnswerFormat::of(const Params& params) {
    const QString name = params.value(QStringLiteral("format"), QStringLiteral("rest"));
    AnswerFormat format;
    if (name == QLatin1String("rest"))
        return format;
    if (name != QLatin1String("json"))
        return std::nullopt;
    format.json = true;
    if (params.value(QStringLiteral("nojsoncallback")) != QLatin1String("1")) {
        // Only a plain JavaScript name is taken as the callback.
        static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$.]{0,63}$"));
        const QString callback = params.value(QStringLiteral("jsoncallback"));
        format.callback = identifier.match(callback).hasMatch() ? callback : QStringLiteral("jsonFlickrApi");
    }
    return format;
}

QByteArray AnswerFormat::contentType() const {
    if (!json)
        return "text/xml; charset=utf-8";
    return callback.isEmpty() ? "application/json; charset=utf-8" : "text/javascript; charset=utf-8";
}

QByteArray AnswerFormat::render(const QByteArray& xml, const QString& method) const {
    if (!json)
        return xml;
    const QByteArray body = jsonFromRest(xml, method);
    return callback.isEmpty() ? body : callback.toLatin1() + '(' + body + ')';
}

} // namespace fakeflickr

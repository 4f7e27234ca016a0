#include "OFXMLMapper.h"

#include <QHash>
#include <QStringList>
#include <QXmlStreamReader>

#include <memory>
#include <vector>

namespace {

const QString kTextKey = QStringLiteral("_text");
// Flickr's answers nest a handful of levels; a document nested deeper than
// this is refused rather than mapped (and later freed) by deep recursion.
constexpr size_t kMaxDepth = 256;
// Children are looked up by name through a hash once an element has more.
constexpr size_t kIndexedChildren = 8;

// Maps are built as a tree of nodes and turned into QVariantMaps at the end, so
// that children can be filled in after they are stored in their parent.
struct Node {
    QVariantMap attributesAndText;
    // Character data, appended in place; stored under "_text" at the end.
    QString text;
    bool hasText = false;
    // Child entries in insertion order: name, nodes, and whether they form a list.
    struct Entry {
        QString name;
        std::vector<Node*> nodes;
        bool isList = false;
    };
    std::vector<Entry> children;
    // Positions in `children` by name, once there are more than a few: an
    // answer may hold any number of distinct names.
    std::unique_ptr<QHash<QString, size_t>> index;

    Entry* findChild(const QString& name) {
        if (index) {
            const auto it = index->constFind(name);
            return it == index->cend() ? nullptr : &children[it.value()];
        }
        for (Entry& e : children)
            if (e.name == name)
                return &e;
        return nullptr;
    }

    void addChild(const QString& name, Node* node, bool isList) {
        children.push_back({name, {node}, isList});
        if (!index && children.size() > kIndexedChildren) {
            index = std::make_unique<QHash<QString, size_t>>();
            for (size_t i = 0; i < children.size(); ++i)
                index->insert(children[i].name, i);
        } else if (index) {
            index->insert(name, children.size() - 1);
        }
    }

    // Consumes the node: its maps move into the result instead of being copied.
    QVariantMap toMap() {
        QVariantMap map = std::move(attributesAndText);
        if (hasText)
            map.insert(kTextKey, text);
        for (const Entry& e : children) {
            if (e.isList) {
                QVariantList list;
                list.reserve(static_cast<qsizetype>(e.nodes.size()));
                for (Node* n : e.nodes)
                    list.append(n->toMap());
                map.insert(e.name, list);
            } else {
                map.insert(e.name, e.nodes.front()->toMap());
            }
        }
        return map;
    }
};

class Mapper {
public:
    // False on a structural failure.
    bool startElement(const QString& name, const QXmlStreamAttributes& attributes) {
        if (m_stack.size() > kMaxDepth)
            return false;
        Node* node = newNode();
        for (const QXmlStreamAttribute& a : attributes)
            node->attributesAndText.insert(interned(a.qualifiedName()), a.value().toString());

        Node* current = m_stack.back();
        if (Node::Entry* entry = current->findChild(name)) {
            entry->nodes.push_back(node);
            entry->isList = true;
        } else if (current->attributesAndText.contains(name) || (name == kTextKey && current->hasText)) {
            return false; // "Faulty XML structure"
        } else {
            const bool plural = m_currentElementName.size() > name.size() &&
                                m_currentElementName.startsWith(name) &&
                                m_currentElementName.endsWith(QLatin1Char('s'));
            current->addChild(name, node, plural);
        }
        m_stack.push_back(node);
        m_currentElementName = name;
        return true;
    }

    bool endElement() {
        if (m_stack.size() <= 1)
            return false; // "Unbalanced XML element tag closing"
        m_stack.pop_back();
        return true;
    }

    bool characters(const QString& text) {
        if (m_stack.size() <= 1)
            return true; // outside the root element
        Node* current = m_stack.back();
        // Text cannot share its key with a child element named "_text".
        if (current->findChild(kTextKey))
            return false;
        if (!current->hasText) {
            // An attribute named "_text" is where the text continues.
            current->text = current->attributesAndText.take(kTextKey).toString();
            current->hasText = true;
        }
        current->text += text;
        return true;
    }

    QVariantMap result() { return m_root.toMap(); }

private:
    // Answers repeat the same attribute names for every element: one shared
    // text per name instead of one allocation per attribute.
    QString interned(QStringView name) {
        if (const auto it = m_names.constFind(name); it != m_names.cend())
            return it.value();
        const QString text = name.toString();
        m_names.insert(QStringView(text), text);
        return text;
    }

    Node* newNode() {
        m_nodes.push_back(std::make_unique<Node>());
        return m_nodes.back().get();
    }

    Node m_root;
    std::vector<std::unique_ptr<Node>> m_nodes;
    std::vector<Node*> m_stack{&m_root};
    QString m_currentElementName;
    QHash<QStringView, QString> m_names;
};

} // namespace

std::optional<QVariantMap> OFXMLMapper::dictionaryMappedFromXMLData(const QByteArray& data) {
    QXmlStreamReader reader(data);
    reader.setNamespaceProcessing(false);
    Mapper mapper;
    while (!reader.atEnd()) {
        bool ok = true;
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ok = mapper.startElement(reader.qualifiedName().toString(), reader.attributes());
            break;
        case QXmlStreamReader::EndElement:
            ok = mapper.endElement();
            break;
        case QXmlStreamReader::Characters:
            ok = mapper.characters(reader.text().toString());
            break;
        default:
            break;
        }
        if (!ok)
            return std::nullopt;
    }
    if (reader.hasError())
        return std::nullopt;
    return mapper.result();
}

namespace {

QVariant valueForKey(const QVariant& value, const QString& key) {
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList results;
        for (const QVariant& item : value.toList())
            results.append(valueForKey(item, key));
        return results;
    }
    if (value.typeId() == QMetaType::QVariantMap)
        return value.toMap().value(key);
    return {};
}

} // namespace

QVariant OFValueForKeyPath(const QVariant& root, const QString& keyPath) {
    QVariant value = root;
    for (const QString& key : keyPath.split(QLatin1Char('.')))
        value = valueForKey(value, key);
    return value;
}

QString OFTextContent(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap)
        return {};
    return dictionary.toMap().value(kTextKey).toString();
}

#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <QXmlStreamAttributes>

#include <vector>

// Each <use> draws what it refers to once more: a few levels of them in a
// few kilobytes can ask for billions of shapes. A drawing drawn as an icon
// draws far fewer, all told.
constexpr qint64 maximumDrawnElements = 100'000;

// How many elements the document draws once every <use> is expanded: each
// element counts once, and a <use> counts what it refers to once more. A
// <use> that leads round to itself draws nothing, as renderers draw it.
class Expansion
{
public:
    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        const int index = int(m_nodes.size());
        Node node;
        node.parent = m_open.empty() ? -1 : m_open.back();
        // As renderers read them: an id of no namespace, the first element
        // of an id the one it names; a plain href before an XLink one.
        bool plainHref = false;
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (attribute.name() == QLatin1String("id") && attribute.namespaceUri().isEmpty()
                && !m_ids.contains(attribute.value().toString()))
                m_ids.insert(attribute.value().toString(), index);
            const bool plain = attribute.namespaceUri().isEmpty();
            if (name == QLatin1String("use") && attribute.name() == QLatin1String("href") && (plain || !plainHref)) {
                const QStringView target = attribute.value().trimmed();
                node.uses = target.startsWith(QLatin1Char('#')) ? target.mid(1).toString() : QString();
                plainHref = plainHref || plain;
            }
        }
        if (node.parent >= 0)
            m_nodes[size_t(node.parent)].children.push_back(index);
        m_nodes.push_back(std::move(node));
        m_open.push_back(index);
    }
    void end() { m_open.pop_back(); }

    // The count, up to just over the limit.
    qint64 drawn()
    {
        m_counts.assign(m_nodes.size(), -1);
        qint64 total = 0;
        for (size_t i = 0; i < m_nodes.size() && total <= maximumDrawnElements; ++i)
            if (m_nodes[i].parent < 0)
                total += count(int(i));
        return total;
    }

private:
    struct Node
    {
        int parent = -1;
        QString uses;
        std::vector<int> children;
    };
    static constexpr qint64 counting = -2;

    // What an element draws, its own and the elements it holds or uses,
    // counted depth first with a stack of its own: a chain of uses may be
    // as long as the document.
    qint64 count(int root)
    {
        struct Frame
        {
            int index;
            size_t next = 0; // of its children, then what it uses
            qint64 total = 1;
        };
        std::vector<Frame> stack;
        qint64 result = enter(root, stack);
        while (!stack.empty()) {
            Frame &frame = stack.back();
            const Node &node = m_nodes[size_t(frame.index)];
            int following = -1;
            if (frame.next < node.children.size())
                following = node.children[frame.next];
            else if (frame.next == node.children.size() && !node.uses.isEmpty())
                following = m_ids.value(node.uses, -1);
            ++frame.next;
            if (following >= 0) {
                const qint64 counted = enter(following, stack);
                if (counted >= 0)
                    stack.back().total = std::min(stack.back().total + counted, maximumDrawnElements + 1);
            } else if (frame.next > node.children.size() + 1) {
                result = m_counts[size_t(frame.index)] = frame.total;
                stack.pop_back();
                if (!stack.empty())
                    stack.back().total = std::min(stack.back().total + result, maximumDrawnElements + 1);
            }
        }
        return result;
    }

    // Starts counting an element: its count when it is known already (0
    // when it is being counted, leading round to itself), or -1 when it is
    // put on the stack to be counted.
    template<typename Stack>
    qint64 enter(int index, Stack &stack)
    {
        qint64 &known = m_counts[size_t(index)];
        if (known == counting)
            return 0;
        if (known >= 0)
            return known;
        known = counting;
        stack.push_back({index});
        return -1;
    }

    std::vector<Node> m_nodes;
    std::vector<int> m_open;
    QHash<QString, int> m_ids;
    std::vector<qint64> m_counts;
};

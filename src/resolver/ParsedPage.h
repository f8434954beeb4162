#pragma once

#include <gumbo.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// A page parsed by gumbo, the HTML5 parser browsers' rules are written for, with the few views of its tree
// the candidate search needs. Owns the parse result: every block gumbo allocates is kept on a list and freed
// from there, never by gumbo's own freeing, which recurses once per level of nesting and overflows the stack
// on a page nested a few hundred thousand levels deep.
class ParsedPage {
public:
    class Element {
    public:
        explicit Element(const GumboNode *node) : node(node) { }

        GumboTag Tag() const { return node->v.element.tag; }
        bool HasAttribute(const char *name) const;
        // The attribute's value with character references already decoded, or empty when it is absent.
        QString Attribute(const char *name) const;
        QList<Element> ChildElements(GumboTag tag) const;
        // The text directly inside the element (what a <script> holds).
        QByteArray Text() const;

    private:
        const GumboNode *node;
    };

    explicit ParsedPage(QByteArrayView utf8Html);
    ~ParsedPage();
    ParsedPage(const ParsedPage &) = delete;
    ParsedPage &operator=(const ParsedPage &) = delete;

    // A process that parses hostile pages ends itself with exit code kMemoryExceededExit when the trees of
    // its parses together would hold more than this many bytes. 0, the default: no limit.
    static void LimitProcessMemory(qint64 bytes);
    static constexpr int kMemoryExceededExit = 3;

    // Text from inside a page (an attribute's value, a percent-decoded variable) as UTF-8 is read there: a
    // U+FEFF at its start is one of its characters, which QString::fromUtf8 would drop as a byte order mark.
    static QString DecodeUtf8(QByteArrayView utf8);

    // Every element in document order. Walks with its own stack: a hostile page may nest very deeply.
    void VisitElements(const std::function<void(const Element &)> &visit) const;

    // Every block of one parse (gumbo's allocator).
    struct Blocks;

private:
    QByteArray text;  // gumbo points into the text it parsed, so it lives as long as the tree
    std::unique_ptr<Blocks> blocks;
    GumboOutput *output;
};

#pragma once

#include <gumbo.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

// A page parsed by gumbo, the HTML5 parser browsers' rules are written for, with the few views of its tree
// the candidate search needs. Owns the parse result.
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

    // Every element in document order. Walks with its own stack: a hostile page may nest very deeply.
    void VisitElements(const std::function<void(const Element &)> &visit) const;

private:
    QByteArray text;  // gumbo points into the text it parsed, so it lives as long as the tree
    GumboOutput *output;
};

#include "ParsedPage.h"

#include <vector>

namespace {

GumboOptions ParseOptions()
{
    GumboOptions options = kGumboDefaultOptions;
    // Parse errors are of no use here and cost memory on broken pages.
    options.max_errors = 0;
    return options;
}

bool IsElement(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

}  // namespace

bool ParsedPage::Element::HasAttribute(const char *name) const
{
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

QString ParsedPage::Element::Attribute(const char *name) const
{
    const GumboAttribute *attribute = gumbo_get_attribute(&node->v.element.attributes, name);
    return attribute ? QString::fromUtf8(attribute->value) : QString();
}

QList<ParsedPage::Element> ParsedPage::Element::ChildElements(GumboTag tag) const
{
    QList<Element> found;
    const GumboVector &children = node->v.element.children;
    for (unsigned int i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (IsElement(child) && child->v.element.tag == tag)
            found.append(Element(child));
    }
    return found;
}

QByteArray ParsedPage::Element::Text() const
{
    QByteArray text;
    const GumboVector &children = node->v.element.children;
    for (unsigned int i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA || child->type == GUMBO_NODE_WHITESPACE)
            text.append(child->v.text.text);
    }
    return text;
}

ParsedPage::ParsedPage(QByteArrayView utf8Html) : text(utf8Html.toByteArray())
{
    const GumboOptions options = ParseOptions();
    output = gumbo_parse_with_options(&options, text.constData(), size_t(text.size()));
}

ParsedPage::~ParsedPage()
{
    const GumboOptions options = ParseOptions();
    gumbo_destroy_output(&options, output);
}

void ParsedPage::VisitElements(const std::function<void(const Element &)> &visit) const
{
    std::vector<const GumboNode *> pending{output->root};
    while (!pending.empty()) {
        const GumboNode *node = pending.back();
        pending.pop_back();
        if (!IsElement(node))
            continue;
        visit(Element(node));
        const GumboVector &children = node->v.element.children;
        for (unsigned int i = children.length; i > 0; --i)
            pending.push_back(static_cast<const GumboNode *>(children.data[i - 1]));
    }
}

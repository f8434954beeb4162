#include "ParsedPage.h"

#include <QStringDecoder>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <vector>

// Each block carries its links in front of what gumbo gets; 16 bytes keep gumbo's memory as aligned as
// malloc's.
struct ParsedPage::Blocks {
    struct alignas(16) Link {
        Link *previous;
        Link *next;
    };
    Link head{&head, &head};

    ~Blocks()
    {
        for (Link *link = head.next; link != &head;) {
            Link *next = link->next;
            Release(link);
            link = next;
        }
    }

    static void *Allocate(void *userdata, size_t size);
    static void Deallocate(void *userdata, void *pointer);
    static void Release(Link *link);
};

namespace {

std::atomic<qint64> processLimit{0};
std::atomic<qint64> processHeld{0};

GumboOptions ParseOptions(ParsedPage::Blocks *blocks)
{
    GumboOptions options = kGumboDefaultOptions;
    // Parse errors are of no use here and cost memory on broken pages.
    options.max_errors = 0;
    options.allocator = &ParsedPage::Blocks::Allocate;
    options.deallocator = &ParsedPage::Blocks::Deallocate;
    options.userdata = blocks;
    return options;
}

bool IsElement(const GumboNode *node)
{
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

}  // namespace

void *ParsedPage::Blocks::Allocate(void *userdata, size_t size)
{
    auto *link = static_cast<Link *>(std::malloc(sizeof(Link) + size));
    if (!link)
        std::abort();  // gumbo cannot go on without its memory
    const qint64 held = processHeld += qint64(malloc_usable_size(link));
    const qint64 limit = processLimit.load(std::memory_order_relaxed);
    if (limit > 0 && held > limit)
        std::_Exit(kMemoryExceededExit);
    Link &head = static_cast<Blocks *>(userdata)->head;
    link->previous = &head;
    link->next = head.next;
    head.next->previous = link;
    head.next = link;
    return link + 1;
}

void ParsedPage::Blocks::Deallocate(void *, void *pointer)
{
    if (!pointer)
        return;
    Link *link = static_cast<Link *>(pointer) - 1;
    link->previous->next = link->next;
    link->next->previous = link->previous;
    Release(link);
}

void ParsedPage::Blocks::Release(Link *link)
{
    processHeld -= qint64(malloc_usable_size(link));
    std::free(link);
}

QString ParsedPage::DecodeUtf8(QByteArrayView utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

void ParsedPage::LimitProcessMemory(qint64 bytes)
{
    processLimit = bytes;
}

bool ParsedPage::Element::HasAttribute(const char *name) const
{
    return gumbo_get_attribute(&node->v.element.attributes, name) != nullptr;
}

QString ParsedPage::Element::Attribute(const char *name) const
{
    const GumboAttribute *attribute = gumbo_get_attribute(&node->v.element.attributes, name);
    return attribute ? DecodeUtf8(attribute->value) : QString();
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

ParsedPage::ParsedPage(QByteArrayView utf8Html) : text(utf8Html.toByteArray()), blocks(std::make_unique<Blocks>())
{
    const GumboOptions options = ParseOptions(blocks.get());
    output = gumbo_parse_with_options(&options, text.constData(), size_t(text.size()));
}

// The blocks go with their list, the tree among them.
ParsedPage::~ParsedPage() = default;

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

#include "support/VexLinkList.h"

namespace {

// Unlinks one node at a time so a long chain does not recurse through the destructors.
void freeChain(std::unique_ptr<TListNode> node) {
    while (node) {
        node = std::move(node->Next);
    }
}

} // namespace

TListNode::~TListNode() {
    freeChain(std::move(Next));
}

TLinkList::~TLinkList() {
    Clear();
}

void TLinkList::Changed() {}

int32_t TLinkList::State() const {
    return 0;
}

void TLinkList::Add(std::unique_ptr<TListNode> node) {
    if (!node) {
        return;
    }
    // A node that brings its own chain keeps it ahead of the present first node.
    TListNode* last = node.get();
    while (last->Next) {
        last = last->Next.get();
    }
    last->Next = std::move(first_);
    first_ = std::move(node);
}

std::unique_ptr<TListNode> TLinkList::TakeFirst() {
    std::unique_ptr<TListNode> node = std::move(first_);
    if (node) {
        first_ = std::move(node->Next);
    }
    return node;
}

void TLinkList::Clear() {
    freeChain(std::move(first_));
    Value1 = 0;
    Value2 = 0;
}

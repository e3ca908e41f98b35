#pragma once
// Singly linked lists whose list object owns its nodes.

#include <cstdint>
#include <memory>

// A list node; the list it sits in owns it through the Next links.
class TListNode {
public:
    TListNode() = default;
    virtual ~TListNode();
    TListNode(const TListNode&) = delete;
    TListNode& operator=(const TListNode&) = delete;

    std::unique_ptr<TListNode> Next;
    // Free for the node's user; the lists never look at them.
    intptr_t Tag = 0;
    intptr_t Data = 0;
};

// A list of owned nodes, newest first.
class TLinkList : public TListNode {
public:
    TLinkList() = default;
    ~TLinkList() override;

    // Hooks for derived lists: the first does nothing, the second gives 0.
    virtual void Changed();
    virtual int32_t State() const;

    void Add(std::unique_ptr<TListNode> node);
    std::unique_ptr<TListNode> TakeFirst();
    // Frees every node and resets both values.
    void Clear();
    TListNode* First() const { return first_.get(); }

    // Free for the list's user; reset to 0 by Clear.
    int32_t Value1 = 0;
    int32_t Value2 = 0;

private:
    std::unique_ptr<TListNode> first_;
};

class TStack : public TLinkList {};

#include "support/VexLinkList.h"

#include <gtest/gtest.h>

namespace {

// Counts its own destruction so the tests see which nodes were freed.
class CountedNode : public TListNode {
public:
    explicit CountedNode(int& freed) : freed_(freed) {}
    ~CountedNode() override { ++freed_; }

private:
    int& freed_;
};

TEST(TLinkListTest, StartsEmpty) {
    const TLinkList list;
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Value1, 0);
    EXPECT_EQ(list.Value2, 0);
}

TEST(TLinkListTest, AddPutsNodesInFrontAndTakeFirstHandsThemBack) {
    TStack stack;
    auto a = std::make_unique<TListNode>();
    auto b = std::make_unique<TListNode>();
    TListNode* rawA = a.get();
    TListNode* rawB = b.get();
    stack.Add(std::move(a));
    stack.Add(std::move(b));
    stack.Add(nullptr);
    ASSERT_EQ(stack.First(), rawB);
    EXPECT_EQ(stack.First()->Next.get(), rawA);

    auto taken = stack.TakeFirst();
    EXPECT_EQ(taken.get(), rawB);
    EXPECT_EQ(taken->Next, nullptr);
    EXPECT_EQ(stack.First(), rawA);
    EXPECT_NE(stack.TakeFirst(), nullptr);
    EXPECT_EQ(stack.TakeFirst(), nullptr);
}

TEST(TLinkListTest, AddedChainStaysInOrderAheadOfTheList) {
    TLinkList list;
    list.Add(std::make_unique<TListNode>());
    TListNode* old = list.First();
    auto head = std::make_unique<TListNode>();
    head->Next = std::make_unique<TListNode>();
    TListNode* second = head->Next.get();
    list.Add(std::move(head));
    EXPECT_EQ(list.First()->Next.get(), second);
    EXPECT_EQ(second->Next.get(), old);
}

TEST(TLinkListTest, ClearFreesEveryNodeAndResetsValues) {
    int freed = 0;
    TLinkList list;
    for (int i = 0; i < 5; ++i) {
        list.Add(std::make_unique<CountedNode>(freed));
    }
    list.Value1 = 3;
    list.Value2 = -4;
    list.Clear();
    EXPECT_EQ(freed, 5);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Value1, 0);
    EXPECT_EQ(list.Value2, 0);
    list.Clear();
    EXPECT_EQ(freed, 5);
}

TEST(TLinkListTest, DestructorFreesTheNodes) {
    int freed = 0;
    {
        TStack stack;
        stack.Add(std::make_unique<CountedNode>(freed));
        stack.Add(std::make_unique<CountedNode>(freed));
    }
    EXPECT_EQ(freed, 2);
}

TEST(TLinkListTest, LongChainIsFreedWithoutDeepRecursion) {
    auto list = std::make_unique<TLinkList>();
    for (int i = 0; i < 1000000; ++i) {
        list->Add(std::make_unique<TListNode>());
    }
    list.reset();
}

TEST(TLinkListTest, HooksAreNeutral) {
    TStack stack;
    TLinkList& list = stack;
    list.Changed();
    EXPECT_EQ(list.State(), 0);
    EXPECT_EQ(list.First(), nullptr);
}

} // namespace

#include "ref.h"

#include <gtest/gtest.h>

namespace {

// Counts how many of its kind have been destroyed.
struct tracked {
    static int destroyed;
    int value;
    ref<tracked> held;  // a further handle this object releases as it dies
    explicit tracked(int V = 0) : value(V) {}
    virtual ~tracked() { ++destroyed; }
};
int tracked::destroyed = 0;

class RefTest : public testing::Test {
protected:
    void SetUp() override { tracked::destroyed = 0; }
};

}  // namespace

TEST_F(RefTest, EmptyHandles) {
    ref<tracked> Empty;
    EXPECT_TRUE(Empty.null());
    EXPECT_EQ(Empty.ptr(), nullptr);
    EXPECT_EQ(Empty.operator->(), nullptr);
    ref<tracked> Copy(Empty);
    EXPECT_EQ(Copy.hub, nullptr);
    Copy = Empty;
    EXPECT_EQ(Copy.hub, nullptr);
    Empty.clear();
    EXPECT_EQ(Empty.hub, nullptr);
}

TEST_F(RefTest, LastOfThreeCopiesDestroysTheObjectOnce) {
    ref<tracked> A = mkref(new tracked(7));
    EXPECT_EQ(A.hub->count, 1);
    EXPECT_FALSE(A.hub->placeholder);
    ref<tracked> B(A);
    ref<tracked> C;
    C = B;
    EXPECT_EQ(A.hub->count, 3);
    EXPECT_EQ(C->value, 7);

    A.clear();
    EXPECT_EQ(A.hub, nullptr);
    B.clear();
    EXPECT_EQ(tracked::destroyed, 0);
    EXPECT_EQ(C.hub->count, 1);
    EXPECT_EQ(C->value, 7);
    C.clear();
    EXPECT_EQ(tracked::destroyed, 1);
    EXPECT_EQ(C.hub, nullptr);
}

TEST_F(RefTest, ScopeEndReleases) {
    ref<tracked> Outer = mkref(new tracked);
    {
        ref<tracked> Inner(Outer);
        EXPECT_EQ(Outer.hub->count, 2);
    }
    EXPECT_EQ(Outer.hub->count, 1);
    { ref<tracked> Only = mkref(new tracked); }
    EXPECT_EQ(tracked::destroyed, 1);
}

TEST_F(RefTest, AssignmentReleasesOldAndSharesNew) {
    ref<tracked> A = mkref(new tracked(1));
    ref<tracked> B = mkref(new tracked(2));
    A = B;
    EXPECT_EQ(tracked::destroyed, 1);
    EXPECT_EQ(A->value, 2);
    EXPECT_EQ(B.hub->count, 2);

    // Same hub on both sides: down by one, up by one, object alive.
    ref<tracked> C(B);
    C = B;
    EXPECT_EQ(B.hub->count, 3);
    EXPECT_EQ(tracked::destroyed, 1);

    // An empty source leaves the target empty.
    ref<tracked> Empty;
    A = Empty;
    C = Empty;
    EXPECT_EQ(A.hub, nullptr);
    EXPECT_EQ(B.hub->count, 1);
    EXPECT_EQ(tracked::destroyed, 1);
}

TEST_F(RefTest, AssignmentReadsTheSourceAfterReleasing) {
    // The old object's destructor moves the source handle to another object;
    // the target must end up sharing the source as it is after the release.
    ref<tracked> Source = mkref(new tracked(1));
    ref<tracked> Other = mkref(new tracked(2));
    struct mover : tracked {
        ref<tracked>* From;
        ref<tracked>* To;
        ~mover() override { *From = *To; }
    };
    mover* M = new mover;
    M->From = &Source;
    M->To = &Other;
    ref<tracked> Target = mkref<tracked>(M);
    Target = Source;
    EXPECT_EQ(tracked::destroyed, 2);  // the mover and object 1
    EXPECT_EQ(Target->value, 2);
    EXPECT_EQ(Other.hub->count, 3);
}

TEST_F(RefTest, ReleaseChainsThroughHeldHandles) {
    ref<tracked> Head = mkref(new tracked(1));
    Head->held = mkref(new tracked(2));
    Head->held->held = mkref(new tracked(3));
    ref<tracked> Middle = Head->held;
    Head.clear();
    EXPECT_EQ(tracked::destroyed, 1);
    EXPECT_EQ(Middle.hub->count, 1);
    EXPECT_EQ(Middle->held->value, 3);
    Middle.clear();
    EXPECT_EQ(tracked::destroyed, 3);
}

TEST_F(RefTest, ObjectThatReleasesItsOwnHandleOnDeath) {
    // A destructor clearing the very handle being released finds it empty.
    static ref<tracked> Global;
    struct self_clearing : tracked {
        ~self_clearing() override { Global.clear(); }
    };
    Global = mkref<tracked>(new self_clearing);
    Global.clear();
    EXPECT_EQ(tracked::destroyed, 1);
    EXPECT_EQ(Global.hub, nullptr);
}

TEST_F(RefTest, NullObjectFreesOnlyTheHub) {
    ref<tracked> N = mkref<tracked>(nullptr);
    ASSERT_NE(N.hub, nullptr);
    EXPECT_TRUE(N.null());
    EXPECT_EQ(N.ptr(), nullptr);
    ref<tracked> Copy(N);
    EXPECT_EQ(N.hub->count, 2);
    N.clear();
    Copy.clear();  // the sanitizer build catches a leaked or doubly freed hub
    EXPECT_EQ(tracked::destroyed, 0);
}

TEST_F(RefTest, PlaceholderHubLeavesTheObjectAlive) {
    tracked Local(5);
    {
        ref<tracked> P;
        P.init_placeholder(&Local);
        EXPECT_TRUE(P.is_placeholder());
        ref<tracked> Copy(P);
        EXPECT_EQ(Copy->value, 5);
    }
    EXPECT_EQ(tracked::destroyed, 0);
    EXPECT_EQ(Local.value, 5);
}

// The fake VM must behave like a checking VM where the bridge's tests rely on
// it: bounds, release modes, scripted faults by call number, misuse reports.
#include "fake_jni_env.h"

#include <gtest/gtest.h>

#include "modified_utf8.h"

using fakejni::FakeJniEnv;

TEST(FakeJniEnv, RegionStoreOutOfBoundsLeavesIndexExceptionPending) {
    FakeJniEnv f;
    jintArray empty = f.heap().newIntArray({});
    jint v = 7;
    f.env()->SetIntArrayRegion(empty, 0, 1, &v);
    ASSERT_NE(f.pending(), nullptr);
    EXPECT_EQ(f.classNameOf(f.pending()), "java/lang/ArrayIndexOutOfBoundsException");
    EXPECT_TRUE(f.problems().empty());
}

TEST(FakeJniEnv, ReleaseModesDecideCopyBack) {
    FakeJniEnv f;
    jbyteArray a = f.heap().newByteArray({1, 2});
    jbyte* e = f.env()->GetByteArrayElements(a, nullptr);
    e[0] = 9;
    f.env()->ReleaseByteArrayElements(a, e, JNI_ABORT);
    EXPECT_EQ(f.bytesOf(a), (std::vector<jbyte>{1, 2}));
    e = f.env()->GetByteArrayElements(a, nullptr);
    e[0] = 9;
    f.env()->ReleaseByteArrayElements(a, e, 0);
    EXPECT_EQ(f.bytesOf(a), (std::vector<jbyte>{9, 2}));
    EXPECT_EQ(f.outstandingBorrows(), 0u);
}

TEST(FakeJniEnv, ScriptedFaultHitsOnlyTheNamedCall) {
    FakeJniEnv f;
    jthrowable oom = f.heap().newThrowable("java/lang/OutOfMemoryError", "x");
    f.pendOn("NewByteArray", oom, 2);
    EXPECT_NE(f.env()->NewByteArray(1), nullptr);
    EXPECT_EQ(f.env()->NewByteArray(1), nullptr);
    EXPECT_EQ(f.pending(), oom);
    f.setPending(nullptr);
    EXPECT_NE(f.env()->NewByteArray(1), nullptr);
    EXPECT_THROW(f.nullOn("CallVoidMethod"), std::invalid_argument);
}

TEST(FakeJniEnv, ReportsMisuse) {
    FakeJniEnv f;
    f.setPending(f.heap().newThrowable("java/lang/Error", "e"));
    f.env()->NewIntArray(1);
    f.env()->ExceptionClear();
    f.env()->GetVersion();
    f.env()->GetByteArrayElements(f.heap().newByteArray({1}), nullptr);
    EXPECT_EQ(f.problems().size(), 2u);
    EXPECT_EQ(f.outstandingBorrows(), 1u);
}

TEST(FakeJniEnv, GlobalRefOfAnyLocalClassIsTheOneCanonicalClass) {
    FakeJniEnv f;
    jclass a = f.env()->FindClass("x/Y");
    jclass b = f.env()->FindClass("x/Y");
    EXPECT_NE(a, b);
    EXPECT_EQ(f.env()->NewGlobalRef(a), f.env()->NewGlobalRef(b));
}

TEST(ModifiedUtf8, NulAndSupplementaryCharacters) {
    EXPECT_EQ(fakejni::toModifiedUtf8(std::u16string(u"a\0b", 3)),
              "a\xC0\x80"
              "b");
    EXPECT_EQ(fakejni::toModifiedUtf8(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(fakejni::fromModifiedUtf8("\xED\xA0\xBD\xED\xB8\x80"), u"\U0001F600");
}

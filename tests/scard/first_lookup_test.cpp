// The class and method lookups before anything is cached. The caches live for
// the process, so this suite runs in a process of its own and its tests run
// in the order written: every failure first (a failure caches nothing, which
// the next test proves by seeing FindClass called again), then successes.
#include <gtest/gtest.h>

#include "bridge_test.h"
#include "errors/velk_card_exception.h"
#include "errors/velk_card_fatal_exception.h"
#include "jni/jni_support.h"

namespace velktest {
namespace {

using fakejni::FakeJniEnv;

const std::string kString = "java/lang/String";
const std::string kInitSignature = "(Ljava/lang/String;Ljava/lang/Throwable;)V";

// Runs getJavaClass and returns the fatal failure it threw.
velk::VelkCardFatalException lookupFailure(FakeJniEnv& vm, const std::string& name) {
    try {
        velk::getJavaClass(vm.env(), name);
    } catch (velk::VelkCardFatalException& e) {
        return e;
    }
    ADD_FAILURE() << "lookup of " << name << " did not fail";
    return velk::VelkCardFatalException(vm.env(), "", "", nullptr);
}

void expectFailure(FakeJniEnv& vm, const velk::VelkCardFatalException& e,
                   const std::string& message, const char* line, jthrowable cause) {
    EXPECT_EQ(e.getMessage(), message);
    EXPECT_EQ(e.getLine(), line);
    EXPECT_EQ(e.getCause(), cause);
    EXPECT_EQ(vm.pending(), nullptr) << "the pending exception must be cleared";
    EXPECT_EQ(vm.count("FindClass"), 1) << "a failed lookup must not have been cached";
    EXPECT_TRUE(vm.problems().empty());
}

TEST(FirstLookup, A_ClassFailuresCarryTheirSiteAndCacheNothing) {
    {
        FakeJniEnv vm;
        jthrowable cause = vm.heap().newThrowable("java/lang/NoClassDefFoundError", kString);
        vm.pendOn("FindClass", cause);
        expectFailure(vm, lookupFailure(vm, kString), "JNI exception occurred", "831", cause);
    }
    {
        FakeJniEnv vm;
        vm.nullOn("FindClass");
        expectFailure(vm, lookupFailure(vm, kString), "javaClass=NULL. name=[java/lang/String]",
                      "834", nullptr);
    }
    {
        FakeJniEnv vm;
        jthrowable cause = vm.heap().newThrowable("java/lang/OutOfMemoryError", "");
        vm.pendOn("NewGlobalRef", cause);
        expectFailure(vm, lookupFailure(vm, kString), "JNI exception occurred", "837", cause);
    }
    {
        FakeJniEnv vm;
        vm.nullOn("NewGlobalRef");
        expectFailure(vm, lookupFailure(vm, kString),
                      "javaClassGlobal=NULL. name=[java/lang/String]", "840", nullptr);
    }
}

TEST(FirstLookup, B_MissingFatalClassAbortsTheVm) {
    FakeJniEnv vm;
    vm.pendOn("FindClass", vm.heap().newThrowable("java/lang/NoClassDefFoundError", ""));
    velk::VelkCardFatalException(vm.env(), "77", "M", nullptr).throwToJava();
    EXPECT_EQ(vm.pending(), nullptr);
    ASSERT_EQ(vm.fatalErrors().size(), 1u);
    EXPECT_EQ(vm.fatalErrors()[0],
              "trying to throw VelkCardFatalException (message=[M].line=77) and got another one "
              "(message=[JNI exception occurred].line=831) (line=920)");
    EXPECT_EQ(vm.count("FindClass"), 1);
}

TEST(FirstLookup, C_MissingCardExceptionClassAbortsTheVm) {
    FakeJniEnv vm;
    vm.pendOn("FindClass", vm.heap().newThrowable("java/lang/NoClassDefFoundError", ""));
    velk::VelkCardException(vm.env(), "M").throwToJava();
    EXPECT_EQ(vm.pending(), nullptr);
    ASSERT_EQ(vm.fatalErrors().size(), 1u);
    EXPECT_EQ(vm.fatalErrors()[0],
              "trying to throw VelkCardException (message=[M]) and got VelkCardFatalException "
              "(message=[JNI exception occurred].line=831) (line=942)");
}

TEST(FirstLookup, D_MissingConstructor) {
    {
        FakeJniEnv vm;
        vm.pendOn("GetMethodID", vm.heap().newThrowable("java/lang/NoSuchMethodError", "<init>"));
        velk::VelkCardFatalException(vm.env(), "77", "M", nullptr).throwToJava();
        ASSERT_EQ(vm.fatalErrors().size(), 1u);
        EXPECT_EQ(vm.fatalErrors()[0],
                  "trying to throw VelkCardFatalException (message=[M].line=77) and got another "
                  "one (message=[JNI exception occurred].line=854) (line=920)");
        EXPECT_EQ(vm.pending(), nullptr);
    }
    {
        FakeJniEnv vm;
        vm.nullOn("GetMethodID");
        jclass clazz = velk::getJavaClass(vm.env(), velk::velkCardFatalExceptionClassName);
        EXPECT_EQ(vm.count("FindClass"), 0) << "the class was found before and is cached";
        try {
            velk::getJavaMethod(vm.env(), clazz, "<init>", kInitSignature);
            ADD_FAILURE() << "lookup did not fail";
        } catch (velk::VelkCardFatalException& e) {
            EXPECT_EQ(e.getMessage(),
                      "javaMethod=NULL. name=[<init>]. signature=[" + kInitSignature + "]");
            EXPECT_EQ(e.getLine(), "857");
            EXPECT_EQ(e.getCause(), nullptr);
        }
        EXPECT_TRUE(vm.problems().empty());
    }
}

TEST(FirstLookup, E_MissingStringClassReachesJavaFromListReaders) {
    fakepcsc::reset();
    fakepcsc::ListReadersStep readers;
    readers.readers = std::string("R\0", 2) + '\0';
    fakepcsc::fake().listReaders.always(readers);
    FakeJniEnv vm;
    jthrowable cause = vm.heap().newThrowable("java/lang/NoClassDefFoundError", kString);
    vm.pendOn("FindClass", cause, 1);
    EXPECT_EQ(
        Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardListReaders(vm.env(), nullptr, 1),
        nullptr);
    ASSERT_NE(vm.pending(), nullptr);
    fakejni::Object* t = vm.heap().find(vm.pending());
    EXPECT_EQ(t->className, kFatalClass);
    EXPECT_EQ(t->message, "JNI exception occurred (line=831)");
    EXPECT_EQ(t->cause, cause);
    EXPECT_TRUE(vm.fatalErrors().empty());
    EXPECT_TRUE(vm.problems().empty());
}

TEST(FirstLookup, F_FoundOnceThenNoJniCall) {
    FakeJniEnv vm;
    jclass first = velk::getJavaClass(vm.env(), kString);
    EXPECT_EQ(vm.callNames(), (std::vector<std::string>{"FindClass", "ExceptionCheck",
                                                        "NewGlobalRef", "ExceptionCheck"}));
    ASSERT_EQ(vm.globalRefs().size(), 1u);
    EXPECT_EQ(first, vm.globalRefs()[0]) << "the cache must hold the global reference";

    vm.clearCalls();
    EXPECT_EQ(velk::getJavaClass(vm.env(), kString), first);
    jclass fatal = velk::getJavaClass(vm.env(), velk::velkCardFatalExceptionClassName);
    jmethodID init = velk::getJavaMethod(vm.env(), fatal, "<init>", kInitSignature);
    jclass other = velk::getJavaClass(vm.env(), velk::velkCardExceptionClassName);
    vm.clearCalls();
    // The key is (name, signature) alone: another class gets the first ID.
    EXPECT_EQ(velk::getJavaMethod(vm.env(), other, "<init>", kInitSignature), init);
    EXPECT_EQ(velk::getJavaClass(vm.env(), velk::velkCardExceptionClassName), other);
    EXPECT_TRUE(vm.calls().empty());
}

TEST(FirstLookup, G_NothingPendingCostsOneCheck) {
    FakeJniEnv vm;
    EXPECT_EQ(velk::getAndClearJniExceptionOccurred(vm.env()), nullptr);
    EXPECT_EQ(vm.callNames(), (std::vector<std::string>{"ExceptionCheck"}));
    jthrowable t = vm.heap().newThrowable("java/lang/Error", "");
    vm.setPending(t);
    EXPECT_EQ(velk::getAndClearJniExceptionOccurred(vm.env()), t);
    EXPECT_EQ(vm.pending(), nullptr);
}

}  // namespace
}  // namespace velktest

#include "bridge_test.h"

#include "jni/jni_support.h"

namespace velktest {

const char* const kFatalClass = "com/vormel/kx/platform/velksmartcard/VelkCardFatalException";
const char* const kCardClass = "com/vormel/kx/platform/velksmartcard/VelkCardException";

void warmCaches() {
    fakejni::FakeJniEnv warm;
    jclass fatal = velk::getJavaClass(warm.env(), velk::velkCardFatalExceptionClassName);
    velk::getJavaMethod(warm.env(), fatal, velk::initMethodName,
                        velk::velkCardFatalExceptionInitSignature);
    velk::getJavaClass(warm.env(), velk::velkCardExceptionClassName);
    velk::getJavaClass(warm.env(), velk::javaStringClassName);
}

void BridgeTest::SetUp() {
    fakepcsc::reset();
    warmCaches();
}

void BridgeTest::TearDown() {
    for (const std::string& p : vm.problems()) {
        ADD_FAILURE() << "JNI misuse: " << p;
    }
    EXPECT_EQ(vm.outstandingBorrows(), 0u) << "elements or characters never released";
}

jthrowable BridgeTest::javaError(const std::string& className) {
    return vm.heap().newThrowable(className, "scripted");
}

void BridgeTest::expectFatal(const std::string& message, int line, jthrowable cause) {
    expectFatalOn(vm, message, line, cause);
}

void expectFatalOn(fakejni::FakeJniEnv& vm, const std::string& message, int line,
                   jthrowable cause) {
    EXPECT_TRUE(vm.problems().empty());
    EXPECT_TRUE(vm.fatalErrors().empty());
    ASSERT_NE(vm.pending(), nullptr) << "no Java exception pending";
    fakejni::Object* t = vm.heap().find(vm.pending());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->className, kFatalClass) << t->message;
    EXPECT_TRUE(t->hasMessage);
    EXPECT_EQ(t->message, message + " (line=" + std::to_string(line) + ")");
    EXPECT_EQ(t->cause, cause);
}

jthrowable scriptFault(fakejni::FakeJniEnv& vm, const FaultSite& site) {
    if (site.refusal != nullptr) {
        vm.nullOn(site.function, site.call);
        return nullptr;
    }
    jthrowable cause = vm.heap().newThrowable("java/lang/OutOfMemoryError", "");
    vm.pendOn(site.function, cause, site.call);
    return cause;
}

void BridgeTest::expectCardException(const std::string& message) {
    EXPECT_TRUE(vm.fatalErrors().empty());
    ASSERT_NE(vm.pending(), nullptr) << "no Java exception pending";
    fakejni::Object* t = vm.heap().find(vm.pending());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->className, kCardClass) << t->message;
    EXPECT_EQ(t->message, message);
    EXPECT_EQ(t->cause, nullptr);
}

void BridgeTest::expectNoException() {
    EXPECT_EQ(vm.pending(), nullptr) << vm.heap().find(vm.pending())->message;
    EXPECT_TRUE(vm.fatalErrors().empty());
}

}  // namespace velktest

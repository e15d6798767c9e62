// Waiting for reader status changes: the parallel arrays, the timeout value,
// the unchanged current-state array and the failure sites.
#include <gtest/gtest.h>

#include "bridge_test.h"
#include "errors/guard_sites.h"

namespace velktest {
namespace {

class StatusChange : public BridgeTest {
  protected:
    jintArray wait(fakejni::FakeJniEnv& on, jlong timeout, jintArray states, jobjectArray names) {
        return Java_com_vormel_kx_platform_velksmartcard_VelkSCard_SCardGetStatusChange(
            on.env(), nullptr, 0x42, timeout, states, names);
    }
    jintArray wait(jlong timeout, jintArray states, jobjectArray names) {
        return wait(vm, timeout, states, names);
    }
    jobjectArray names(fakejni::FakeJniEnv& on, std::vector<std::u16string> list) {
        std::vector<jobject> strings;
        for (const auto& n : list) {
            strings.push_back(on.heap().newString(n));
        }
        return on.heap().newObjectArray("java/lang/String", strings);
    }
};

TEST_F(StatusChange, EventStatesInANewArray) {
    fakepcsc::StatusChangeStep step;
    step.eventStates = {SCARD_STATE_CHANGED | SCARD_STATE_PRESENT, 0x80000000u};
    pcsc().statusChange.push(step);
    jintArray current = vm.heap().newIntArray({SCARD_STATE_EMPTY, -1});
    jintArray result = wait(1000, current, names(vm, {u"R1", u"R\u00e92"}));
    expectNoException();
    ASSERT_NE(result, nullptr);
    EXPECT_NE(result, current);
    EXPECT_EQ(vm.intsOf(result), (std::vector<jint>{SCARD_STATE_CHANGED | SCARD_STATE_PRESENT,
                                                    static_cast<jint>(0x80000000u)}));
    EXPECT_EQ(vm.intsOf(current), (std::vector<jint>{SCARD_STATE_EMPTY, -1}));

    const auto& call = pcsc().statusChangeCalls.at(0);
    EXPECT_EQ(call.context, 0x42);
    EXPECT_EQ(call.timeout, 1000u);
    ASSERT_EQ(call.count, 2u);
    EXPECT_EQ(call.readers[0].reader, std::string("R1"));
    EXPECT_EQ(call.readers[1].reader, std::string("R\xC3\xA9"
                                                  "2"));
    EXPECT_EQ(call.readers[0].currentState, static_cast<DWORD>(SCARD_STATE_EMPTY));
    EXPECT_EQ(static_cast<uint32_t>(call.readers[1].currentState), 0xFFFFFFFFu);
    for (const auto& r : call.readers) {
        EXPECT_EQ(r.userData, nullptr);
        EXPECT_EQ(r.eventState, 0u);
        EXPECT_EQ(r.atrLength, 0u);
    }
    // The current states are released unwritten; the result with copy-back.
    std::vector<std::string> modes;
    for (const auto& c : vm.calls()) {
        if (c.function == "ReleaseIntArrayElements") {
            modes.push_back(c.detail);
        }
    }
    EXPECT_EQ(modes, (std::vector<std::string>{"mode=2", "mode=0"}));
}

// More readers and longer names than the method keeps on its stack.
TEST_F(StatusChange, ManyReadersWithLongNamesReachPcscWhole) {
    std::vector<std::u16string> list;
    std::vector<jint> states;
    for (int i = 0; i < 20; ++i) {
        list.push_back(std::u16string(60, static_cast<char16_t>(u'a' + i)));
        states.push_back(i);
    }
    fakepcsc::StatusChangeStep step;
    step.eventStates.assign(20, SCARD_STATE_PRESENT);
    pcsc().statusChange.push(step);
    jintArray result = wait(0, vm.heap().newIntArray(states), names(vm, list));
    expectNoException();
    EXPECT_EQ(vm.intsOf(result), std::vector<jint>(20, SCARD_STATE_PRESENT));
    const auto& call = pcsc().statusChangeCalls.at(0);
    ASSERT_EQ(call.count, 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(call.readers[i].reader, std::string(60, static_cast<char>('a' + i)));
        EXPECT_EQ(call.readers[i].currentState, static_cast<DWORD>(i));
    }
}

TEST_F(StatusChange, TimeoutReturnsTheSameArrayUnchanged) {
    fakepcsc::StatusChangeStep step;
    step.rv = SCARD_E_TIMEOUT;
    step.eventStates = {0x1234};
    pcsc().statusChange.push(step);
    jintArray current = vm.heap().newIntArray({SCARD_STATE_EMPTY});
    EXPECT_EQ(wait(10, current, names(vm, {u"R"})), current);
    expectNoException();
    EXPECT_EQ(vm.intsOf(current), (std::vector<jint>{SCARD_STATE_EMPTY}));
}

TEST_F(StatusChange, TimeoutKeepsOnlyTheLow32Bits) {
    jintArray none = vm.heap().newIntArray({});
    jobjectArray noNames = names(vm, {});
    wait(-1, none, noNames);
    wait(4294967296LL, none, noNames);
    EXPECT_EQ(static_cast<uint32_t>(pcsc().statusChangeCalls.at(0).timeout), 0xFFFFFFFFu);
    EXPECT_EQ(pcsc().statusChangeCalls.at(1).timeout, 0u);
}

TEST_F(StatusChange, TwoEmptyArraysGiveAnEmptyResult) {
    jintArray result = wait(0, vm.heap().newIntArray({}), names(vm, {}));
    expectNoException();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(vm.intsOf(result).empty());
    EXPECT_EQ(pcsc().statusChangeCalls.at(0).count, 0u);
}

TEST_F(StatusChange, PcscErrorIsReported) {
    pcsc().statusChange.push(failing<fakepcsc::StatusChangeStep>(SCARD_E_UNKNOWN_READER));
    EXPECT_EQ(wait(0, vm.heap().newIntArray({0}), names(vm, {u"nope"})), nullptr);
    expectCardException(
        "SCardGetStatusChange failed with code SCARD_E_UNKNOWN_READER (The specified reader name "
        "is not recognized.)");
}

TEST_F(StatusChange, ArgumentsRefusedBeforePcsc) {
    EXPECT_EQ(wait(0, vm.heap().newIntArray({0, 0}), names(vm, {u"a", u"b", u"c"})), nullptr);
    expectFatal("readerCurrentStateArray size = 2. readerNameArray size = 3", 380);

    vm.setPending(nullptr);
    jobjectArray withNull = vm.heap().newObjectArray("java/lang/String", {nullptr});
    EXPECT_EQ(wait(0, vm.heap().newIntArray({0}), withNull), nullptr);
    expectFatal("s=NULL", 408);

    vm.setPending(nullptr);
    EXPECT_EQ(wait(0, nullptr, names(vm, {})), nullptr);
    expectFatal("readerCurrentStateArray=NULL", velk::guard_sites::kStatusChangeStatesNull);
    vm.setPending(nullptr);
    EXPECT_EQ(wait(0, vm.heap().newIntArray({}), nullptr), nullptr);
    expectFatal("readerNameArray=NULL", velk::guard_sites::kStatusChangeNamesNull);
    EXPECT_TRUE(pcsc().calls.empty());
}

TEST_F(StatusChange, JniFailureSites) {
    forEachFaultSite(
        {pendingAt("GetIntArrayElements", 386, 1),
         nullAt("GetIntArrayElements", "readerCurrentStateArrayElements=NULL", 389, 1),
         pendingAt("ReleaseIntArrayElements", 397, 1), pendingAt("GetObjectArrayElement", 405, 2),
         pendingAt("GetStringUTFChars", 412, 2), pendingAt("NewIntArray", 443, 1),
         nullAt("NewIntArray", "result=NULL", 446, 1), pendingAt("GetIntArrayElements", 450, 2),
         pendingAt("ReleaseIntArrayElements", 459, 2)},
        [&](fakejni::FakeJniEnv& fresh, const FaultSite& site) {
            fakepcsc::reset();
            jintArray current = fresh.heap().newIntArray({1, 2});
            EXPECT_EQ(wait(fresh, 0, current, names(fresh, {u"a", u"b"})), nullptr);
            EXPECT_EQ(fresh.intsOf(current), (std::vector<jint>{1, 2}));
            EXPECT_EQ(pcsc().statusChangeCalls.size(), site.line < 420 ? 0u : 1u);
        });
}

TEST_F(StatusChange, ExceptionArrivingAfterAStoreIsReported) {
    // The check after each store is the first ExceptionCheck after the result's
    // elements were got; find its number in a clean run.
    jintArray current = vm.heap().newIntArray({0});
    wait(0, current, names(vm, {u"a"}));
    int checks = 0;
    int gets = 0;
    int target = 0;
    for (const auto& c : vm.calls()) {
        gets += c.function == "GetIntArrayElements" ? 1 : 0;
        if (c.function == "ExceptionCheck") {
            ++checks;
            if (gets == 2 && target == 0 && c.function == "ExceptionCheck") {
                target = checks + 1;  // the first is the elements' own check
            }
        }
    }
    ASSERT_GT(target, 0);

    fakejni::FakeJniEnv fresh;
    jthrowable death = fresh.heap().newThrowable("java/lang/ThreadDeath", "");
    fresh.pendOn("ExceptionCheck", death, target);
    EXPECT_EQ(wait(fresh, 0, fresh.heap().newIntArray({0}), names(fresh, {u"a"})), nullptr);
    expectFatalOn(fresh, "JNI exception occurred", 455, death);
    EXPECT_EQ(fresh.outstandingBorrows(), 0u);
}

TEST_F(StatusChange, ResultElementsRefusedWithoutException) {
    vm.nullOn("GetIntArrayElements", 2);
    EXPECT_EQ(wait(0, vm.heap().newIntArray({0}), names(vm, {u"a"})), nullptr);
    expectFatal("resultElements=NULL", velk::guard_sites::kStatusChangeResultElements);
}

TEST_F(StatusChange, UnexpectedException) {
    pcsc().statusChange.push(throwing<fakepcsc::StatusChangeStep>());
    EXPECT_EQ(wait(0, vm.heap().newIntArray({}), names(vm, {})), nullptr);
    expectFatal("got unexpected exception", 477);
}

}  // namespace
}  // namespace velktest

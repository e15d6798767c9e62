#include "plans.h"

#include <iterator>
#include <string>
#include <vector>

namespace velkfuzz {

namespace {

const char* const kThrowableClasses[] = {
    "java/lang/OutOfMemoryError",
    "java/lang/ArrayIndexOutOfBoundsException",
    "java/lang/ThreadDeath",
};

// Past every fixed buffer and arena of the libraries. Int arrays and strings
// turn into per-element JNI calls, so theirs stay smaller to keep runs fast.
constexpr size_t kHugeBytes = (1u << 20) + 3;
constexpr size_t kHugeElements = 4099;

}  // namespace

void scriptJniFaults(Input& in, fakejni::FakeJniEnv& vm, const FaultSite* sites, size_t count) {
    unsigned faults = in.below(3);
    for (unsigned i = 0; i < faults; ++i) {
        const FaultSite& site = sites[in.below(static_cast<unsigned>(count))];
        int call = static_cast<int>(in.below(5));  // 0: every call
        if (site.code) {
            jint code = in.edgyInt();
            vm.codeOn(site.function, code != 0 ? code : -1, call);
        } else if (site.null && (!site.pend || in.flag())) {
            vm.nullOn(site.function, call);
        } else {
            const char* cls = kThrowableClasses[in.below(std::size(kThrowableClasses))];
            vm.pendOn(site.function, vm.heap().newThrowable(cls, "scripted"), call);
        }
    }
}

jstring javaString(Input& in, fakejni::FakeJniEnv& vm) {
    std::u16string units;
    switch (in.below(4)) {
        case 0:
            return nullptr;
        case 1:
            break;  // empty
        case 2:
            units.assign(kHugeElements, static_cast<char16_t>(in.u16()));
            break;
        default: {
            // Any UTF-16 code units, lone surrogates and U+0000 included.
            size_t n = in.byte() % 40;
            for (size_t i = 0; i < n; ++i) {
                units.push_back(in.flag() ? static_cast<char16_t>(in.u16())
                                          : static_cast<char16_t>('A' + in.below(26)));
            }
        }
    }
    return vm.heap().newString(units);
}

jintArray javaInts(Input& in, fakejni::FakeJniEnv& vm) {
    switch (in.below(4)) {
        case 0:
            return nullptr;
        case 1:
            return vm.heap().newIntArray({});
        case 2:
            return vm.heap().newIntArray(std::vector<jint>(kHugeElements, in.edgyInt()));
        default: {
            std::vector<jint> ints(1 + in.below(6));
            for (jint& v : ints) {
                v = in.edgyInt();
            }
            return vm.heap().newIntArray(std::move(ints));
        }
    }
}

jbyteArray javaBytes(Input& in, fakejni::FakeJniEnv& vm) {
    switch (in.below(5)) {
        case 0:
            return nullptr;
        case 1:
            return vm.heap().newByteArray({});
        case 2:
            return vm.heap().newByteArray(
                std::vector<jbyte>(in.flag() ? kHugeBytes : 1025, static_cast<jbyte>(in.byte())));
        default: {
            std::vector<jbyte> bytes;
            for (uint8_t b : in.bytes(in.u16() % 300)) {
                bytes.push_back(static_cast<jbyte>(b));
            }
            return vm.heap().newByteArray(std::move(bytes));
        }
    }
}

jobjectArray javaStrings(Input& in, fakejni::FakeJniEnv& vm, jsize suggestedLength) {
    size_t n = static_cast<size_t>(suggestedLength);
    switch (in.below(5)) {
        case 0:
            return nullptr;
        case 1:
            n = in.below(4);  // lengths that may disagree
            break;
        default:
            break;
    }
    std::vector<jobject> elements;
    for (size_t i = 0; i < n; ++i) {
        if (i < 8) {
            elements.push_back(javaString(in, vm));
            continue;
        }
        // Past the first few, short elements repeat and huge ones give way to
        // null, so that long arrays stay cheap.
        fakejni::Object* s = vm.heap().find(elements[i % 8]);
        elements.push_back(s != nullptr && s->chars.size() <= 64 ? elements[i % 8] : nullptr);
    }
    return vm.heap().newObjectArray("java/lang/String", std::move(elements));
}

}  // namespace velkfuzz

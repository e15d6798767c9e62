// The exported plain functions: each forwards to the reader's virtual operations.
#include "device/hid_interface.h"
#include "velkreader.h"

using velk::HidInterface;

extern "C" {

int VelkReaderOpen(VelkReaderHandle* handle) {
    if (handle == nullptr) {
        return 0;
    }
    HidInterface* reader = HidInterface::open();
    if (reader == nullptr) {
        return 0;
    }
    *handle = reader;
    return 1;
}

void VelkReaderClose(VelkReaderHandle* handle) {
    if (handle == nullptr || *handle == nullptr) {
        return;
    }
    (*handle)->close();
    delete *handle;
    *handle = nullptr;
}

bool VelkReaderReceiveW26(VelkReaderHandle handle, void* out, int len) {
    return handle != nullptr && handle->receiveW26(out, len);
}

int VelkReaderReceiveW26T(VelkReaderHandle handle, void* out, int len, int timeout) {
    if (handle == nullptr) {
        return 0;
    }
    return handle->receiveW26T(out, len, timeout);
}

}  // extern "C"

// Failure sites the bridge adds of its own, for arguments it cannot use and
// lengths reported back that it will not trust. Kept in one table so that the
// numbers stay apart from every other site's.
#pragma once

namespace velk::guard_sites {

constexpr int kStringCharsNull = 1001;  // GetStringUTFChars gave null, nothing pending

constexpr int kReaderListOverrun = 1010;  // SCardListReaders reported more than the buffer

constexpr int kConnectActiveProtocolNull = 1020;    // SCardConnect: activeProtocol is null
constexpr int kConnectActiveProtocolEmpty = 1021;   // SCardConnect: activeProtocol has no element
constexpr int kConnectActiveProtocolLength = 1022;  // SCardConnect: exception after GetArrayLength
constexpr int kConnectActiveProtocolElements =
    1023;  // SCardConnect: elements null, nothing pending

constexpr int kReconnectActiveProtocolNull = 1030;  // SCardReconnect: activeProtocol is null

constexpr int kStatusChangeStatesNull = 1040;      // readerCurrentStateArray is null
constexpr int kStatusChangeNamesNull = 1041;       // readerNameArray is null
constexpr int kStatusChangeResultElements = 1042;  // result elements null, nothing pending

constexpr int kStatusStateArrayNull = 1050;  // SCardStatus: state array is null
constexpr int kStatusAtrOverrun = 1051;      // SCardStatus reported more ATR than the buffer

constexpr int kTransmitRequestNull = 1060;      // SCardTransmit: request is null
constexpr int kTransmitResponseOverrun = 1061;  // SCardTransmit reported more than the buffer

constexpr int kGetAttrOverrun = 1070;  // SCardGetAttrib reported more than the buffer

}  // namespace velk::guard_sites

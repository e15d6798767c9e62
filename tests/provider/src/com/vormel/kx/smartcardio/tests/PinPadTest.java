package com.vormel.kx.smartcardio.tests;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.smartcardio.PinFormat;
import com.vormel.kx.smartcardio.PinFormat.Encoding;
import com.vormel.kx.smartcardio.PinFormat.Units;
import com.vormel.kx.smartcardio.PinModification;
import com.vormel.kx.smartcardio.PinPadStatus;
import com.vormel.kx.smartcardio.PinProperties;
import com.vormel.kx.smartcardio.PinVerification;
import com.vormel.kx.smartcardio.VelkCard;
import com.vormel.kx.smartcardio.VelkProvider;
import com.vormel.kx.testkit.VirtualCard;
import java.util.Arrays;
import java.util.List;
import java.util.function.Supplier;
import javax.smartcardio.CardException;
import javax.smartcardio.ResponseAPDU;
import javax.smartcardio.TerminalFactory;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/**
 * The PIN helpers: the reader's structures byte for byte as pcsc-lite's reader.h lays them out,
 * every field refused by name, a vpcd reader, which has no features, and PIN entry on the
 * virtual pin-pad end to end.
 */
@Timeout(600)
class PinPadTest {
    // VERIFY of PIN 1, 8 bytes of 0xFF padding for the digits.
    static final byte[] VERIFY = Scenario.HEX.parseHex("0020000108FFFFFFFFFFFFFFFF");
    // CHANGE REFERENCE DATA of PIN 1: old and new PIN, 8 padded bytes each.
    static final byte[] CHANGE =
            Scenario.HEX.parseHex("0024000110FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF");
    static final PinFormat ASCII8 = PinFormat.builder(Encoding.ASCII).blockSize(8).build();

    @Test
    void structuresAreLaidOutAsTheReaderReadsThem() {
        byte[] verify = PinVerification.builder(VERIFY, ASCII8).digits(4, 8).timeout(30).build()
                .toStructure();
        // bTimerOut bTimerOut2 bmFormatString bmPINBlockString bmPINLengthFormat
        // wPINMaxExtraDigit bEntryValidationCondition bNumberMessage wLangId bMsgIndex
        // bTeoPrologue[3] ulDataLength abData
        assertEquals("1E 00 82 08 00 0804 02 00 0904 00 000000 0D000000 "
                + "0020000108FFFFFFFFFFFFFFFF", spaced(verify, 1, 1, 1, 1, 1, 2, 1, 1, 2, 1, 3, 4));

        PinFormat format2 = PinFormat.builder(Encoding.BCD).pinPosition(1).blockSize(7)
                .rightJustified(true).lengthField(4, 4, Units.BITS).build();
        byte[] bcd = PinVerification.builder(VERIFY, format2).digits(4, 12)
                .entryValidation(PinVerification.VALIDATION_MAX_DIGITS
                        | PinVerification.VALIDATION_KEY)
                .timeout(15).timeoutAfterFirstKey(5).messages(1, 0x0407, 2).build().toStructure();
        assertEquals("0F 05 8D 47 04 0C04 03 01 0704 02 000000 0D000000 "
                + "0020000108FFFFFFFFFFFFFFFF", spaced(bcd, 1, 1, 1, 1, 1, 2, 1, 1, 2, 1, 3, 4));

        byte[] change = PinModification.builder(CHANGE, ASCII8).offsets(0, 8).confirmNewPin(true)
                .digits(6, 8).messages(3, 0x0409, 1, 2, 3).build().toStructure();
        // ... bInsertionOffsetOld bInsertionOffsetNew wPINMaxExtraDigit bConfirmPIN
        // bEntryValidationCondition bNumberMessage wLangId bMsgIndex1-3 bTeoPrologue[3]
        // ulDataLength abData
        assertEquals("00 00 82 08 00 00 08 0806 03 02 03 0904 01 02 03 000000 15000000 "
                        + Scenario.HEX.formatHex(CHANGE),
                spaced(change, 1, 1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 2, 1, 1, 1, 3, 4));
        byte[] newOnly = PinModification.builder(Scenario.HEX.parseHex("0024010108FFFFFFFFFFFFFFFF"),
                ASCII8).currentPin(false).build().toStructure();
        assertEquals(0x00, newOnly[9], "bConfirmPIN without the current PIN and confirmation");

        byte[] appended = PinVerification.builder(Scenario.HEX.parseHex("0020000100"),
                PinFormat.builder(Encoding.BINARY).build()).build().toStructure();
        assertEquals("00 00 80 00 00 0804 02 00 0904 00 000000 05000000 0020000100",
                spaced(appended, 1, 1, 1, 1, 1, 2, 1, 1, 2, 1, 3, 4));
    }

    @Test
    void everyImpossibleFieldIsRefusedByName() {
        List<Refusal> refusals = List.of(
                refused("pinPosition", () -> PinFormat.builder(Encoding.ASCII).pinPosition(16)),
                refused("blockSize", () -> PinFormat.builder(Encoding.ASCII).blockSize(-1)),
                refused("lengthBits", () -> PinFormat.builder(Encoding.BCD)
                        .lengthField(16, 0, Units.BITS)),
                refused("encoding", () -> PinFormat.builder(null)),
                refused("apduTemplate", () -> PinVerification.builder(null, ASCII8)),
                refused("format", () -> PinVerification.builder(VERIFY, null)),
                refused("apduTemplate", () -> verify(Arrays.copyOf(VERIFY, 4), ASCII8)),
                refused("apduTemplate", () -> verify(Arrays.copyOf(VERIFY, 12), ASCII8)),
                refused("minDigits", () -> PinVerification.builder(VERIFY, ASCII8).digits(0, 8)),
                refused("maxDigits", () -> PinVerification.builder(VERIFY, ASCII8).digits(6, 5)),
                refused("entryValidationCondition",
                        () -> PinVerification.builder(VERIFY, ASCII8).entryValidation(8)),
                refused("timeout", () -> PinVerification.builder(VERIFY, ASCII8).timeout(256)),
                refused("timeout2",
                        () -> PinVerification.builder(VERIFY, ASCII8).timeoutAfterFirstKey(-1)),
                refused("numberMessage",
                        () -> PinVerification.builder(VERIFY, ASCII8).messages(2, 0x0409, 0)),
                refused("langId",
                        () -> PinVerification.builder(VERIFY, ASCII8).messages(1, 0x10000, 0)),
                refused("blockSize", () -> verify(VERIFY,
                        PinFormat.builder(Encoding.ASCII).pinPosition(1).blockSize(8).build())),
                refused("pinPosition", () -> verify(VERIFY, PinFormat.builder(Encoding.ASCII)
                        .build())),
                refused("maxDigits", () -> PinVerification.builder(VERIFY,
                        PinFormat.builder(Encoding.ASCII).blockSize(4).build()).digits(4, 8)
                        .build()),
                refused("maxDigits", () -> PinVerification.builder(VERIFY,
                        PinFormat.builder(Encoding.BCD).pinPosition(1).blockSize(7)
                                .lengthField(3, 4, Units.BITS).build()).digits(4, 8).build()),
                refused("lengthPosition", () -> PinVerification.builder(VERIFY,
                        PinFormat.builder(Encoding.BCD).blockSize(8)
                                .lengthField(4, 8, Units.BYTES).build()).build()),
                refused("insertionOffsetNew", () -> PinModification.builder(CHANGE, ASCII8)
                        .offsets(0, 4).build()),
                refused("insertionOffsetOld",
                        () -> PinModification.builder(CHANGE, ASCII8).offsets(256, 8)),
                refused("blockSize", () -> PinModification.builder(CHANGE, ASCII8)
                        .offsets(0, 9).build()),
                refused("msgIndex", () -> PinModification.builder(CHANGE, ASCII8)
                        .messages(3, 0x0409, 1, 2, 3, 4)));
        for (Refusal r : refusals) {
            IllegalArgumentException e = assertThrows(IllegalArgumentException.class, r.call::get,
                    r.field);
            assertTrue(e.getMessage().startsWith(r.field + ": "), e.getMessage());
        }
    }

    @Test
    void aVpcdReaderHasNoFeaturesAndSaysSo() throws Exception {
        VelkCard card = (VelkCard) TerminalFactory.getInstance("PC/SC", null, new VelkProvider())
                .terminals().getTerminal(VirtualCard.t1().reader()).connect("*");
        try {
            assertTrue(card.features().isEmpty());
            CardException e = assertThrows(CardException.class, card::pinProperties);
            assertEquals("the reader has neither FEATURE_IFD_PIN_PROPERTIES nor"
                    + " FEATURE_GET_TLV_PROPERTIES", e.getMessage());
            e = assertThrows(CardException.class, () -> card.verifyPin(
                    PinVerification.builder(VERIFY, ASCII8).build()));
            assertEquals("the reader has no FEATURE_VERIFY_PIN_DIRECT: it cannot take the PIN on"
                    + " its own keypad", e.getMessage());
        } finally {
            card.disconnect(false);
        }
    }

    @Test
    void pinEntryOnTheVirtualPinPadEndToEnd() throws Exception {
        VelkCard card = (VelkCard) TerminalFactory.getInstance("PC/SC", null, new VelkProvider())
                .terminals().getTerminal(VirtualCard.pinPad().reader()).connect("*");
        try {
            assertEquals("{VERIFY_PIN_DIRECT=1107299762, MODIFY_PIN_DIRECT=1107299763,"
                    + " IFD_PIN_PROPERTIES=1107299766, GET_TLV_PROPERTIES=1107299774}",
                    card.features().toString());
            PinProperties properties = card.pinProperties();
            assertEquals(0x02, properties.entryValidationCondition());
            assertEquals(16, properties.tlvNumber(PinProperties.TLV_MAX_PIN_SIZE));

            PinVerification ascii = PinVerification.builder(VERIFY, ASCII8).digits(4, 8).build();
            String[][] entries = {{"type 1234", "CARD_ANSWERED 9000"},
                {"type 9999", "CARD_ANSWERED 63C2"}, {"cancel", "CANCELLED 6401"},
                {"timeout", "TIMEOUT 6400"}, {"type 12", "LENGTH_OUT_OF_RANGE 6403"}};
            for (String[] entry : entries) {
                VirtualCard.keypad(entry[0]);
                assertEquals(entry[1], outcome(card.verifyPin(ascii)), entry[0]);
            }
            // PIN reference 2: BCD after a length nibble, in an ISO 9564 format 2 block.
            PinVerification format2 = PinVerification.builder(
                    Scenario.HEX.parseHex("0020000208" + "2FFFFFFFFFFFFFFF"),
                    PinFormat.builder(Encoding.BCD).pinPosition(1).blockSize(7)
                            .lengthField(4, 4, Units.BITS).build()).digits(4, 12).build();
            VirtualCard.keypad("type 1234");
            assertEquals("CARD_ANSWERED 9000", outcome(card.verifyPin(format2)));

            PinModification change = PinModification.builder(CHANGE, ASCII8).offsets(0, 8)
                    .confirmNewPin(true).build();
            String[][] changes = {{"1234", "5678", "5678", "CARD_ANSWERED 9000"},
                {"1234", "5678", "5679", "CONFIRMATION_MISMATCH 6402"},
                {"4321", "5678", "5678", "CARD_ANSWERED 63C2"}};
            for (String[] c : changes) {
                for (int i = 0; i < 3; ++i) {
                    VirtualCard.keypad("type " + c[i]);
                }
                assertEquals(c[3], outcome(card.modifyPin(change)), String.join(" ", c));
            }
            VirtualCard.keypad("clear");
        } finally {
            card.disconnect(false);
        }
    }

    private static String outcome(ResponseAPDU r) {
        return PinPadStatus.of(r) + " " + String.format("%04X", r.getSW());
    }

    private static PinVerification verify(byte[] template, PinFormat format) {
        return PinVerification.builder(template, format).build();
    }

    /** The structure's fields in hex, one group per field size, then the data. */
    static String spaced(byte[] structure, int... sizes) {
        StringBuilder s = new StringBuilder();
        int at = 0;
        for (int size : sizes) {
            s.append(Scenario.HEX.formatHex(structure, at, at + size)).append(' ');
            at += size;
        }
        return s.append(Scenario.HEX.formatHex(structure, at, structure.length)).toString();
    }

    private record Refusal(String field, Supplier<?> call) {}

    private static Refusal refused(String field, Supplier<?> call) {
        return new Refusal(field, call);
    }
}

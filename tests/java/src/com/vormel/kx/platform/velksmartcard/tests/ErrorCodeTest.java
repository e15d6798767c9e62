package com.vormel.kx.platform.velksmartcard.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/**
 * VelkCardException.getErrorCode() reads back the code of every text the native library can
 * give: its own symbol table in Java must pair each symbol with the code the native table does.
 */
class ErrorCodeTest {
    // An entry of the native table: {0x80100001, "SCARD_F_INTERNAL_ERROR (...
    private static final Pattern ENTRY =
            Pattern.compile("\\{0x([0-9A-Fa-f]{8}),\\s*\"(SCARD_[A-Z_]+) \\(");

    private static int code(String message) {
        return new VelkCardException(message).getErrorCode();
    }

    @Test
    void everyNativeTextGivesItsCode() throws Exception {
        String table = Files.readString(Path.of(System.getProperty("velk.test.errorTexts")));
        Matcher entry = ENTRY.matcher(table);
        int entries = 0;
        while (entry.find()) {
            int expected = Integer.parseUnsignedInt(entry.group(1), 16);
            String text = entry.group(2) + " (whatever it says.)";
            assertEquals(expected, code("SCardConnect failed with code " + text), text);
            assertEquals(expected, code("SCardGetAttr insufficient pbAttr buffer size. Required=9. "
                    + text), text);
            ++entries;
        }
        assertEquals(59, entries, "entries of the native table");
        assertEquals(0x8010001F, code("SCardControl failed with code SCARD_E_UNSUPPORTED_FEATURE"
                + " (This smart card does not support the requested feature.)"));
        assertEquals(0x8010003A, code("SCardStatus failed with code unknown error (code=8010003a)"));
        assertEquals(0, code("SCardGetAttr requires pbAttr length of 2049 which is more than"
                + " static 2048"));
    }
}

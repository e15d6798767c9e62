package velksdk;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import org.junit.jupiter.api.Test;

/** With the real hidapi and no reader attached. */
class VelkReaderNoDeviceTest {
    @Test
    void nothingToOpen() {
        assertEquals(0, VelkReader.openImpl());
        assertNull(VelkReader.open());
    }
}

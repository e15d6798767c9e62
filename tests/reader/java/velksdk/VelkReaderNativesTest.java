package velksdk;

import static com.vormel.kx.testkit.HidapiStandIn.count;
import static com.vormel.kx.testkit.HidapiStandIn.log;
import static com.vormel.kx.testkit.HidapiStandIn.script;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The four natives against the scripted hidapi stand-in. */
class VelkReaderNativesTest {
    private static byte[] untouched(int length) {
        byte[] data = new byte[length];
        Arrays.fill(data, (byte) 0x55);
        return data;
    }

    @Test
    void openWithoutDeviceReturnsZero() throws Exception {
        script("absent");
        assertEquals(0, VelkReader.openImpl());
        assertEquals(List.of("open ffff 0001 -"), log());
    }

    @Test
    void timedReceiveWritesTheArrayOnlyForARead() throws Exception {
        script("timeout", "frame 18 01 02 83", "error");
        long h = VelkReader.openImpl();
        assertNotEquals(0, h);
        try {
            byte[] data = untouched(5);
            assertEquals(0, VelkReader.receiveW26TImpl(h, data, 0));
            assertArrayEquals(untouched(5), data);
            assertEquals(3, VelkReader.receiveW26TImpl(h, data, 40));
            assertArrayEquals(new byte[] {1, 2, (byte) 0x83, 0x55, 0x55}, data);
            byte[] again = untouched(3);
            assertEquals(-1, VelkReader.receiveW26TImpl(h, again, 0));
            assertArrayEquals(untouched(3), again);
        } finally {
            VelkReader.closeImpl(h);
        }
        List<String> log = log();
        assertTrue(log.contains("read 5 40"), log::toString);
        assertEquals("close", log.get(log.size() - 1));
    }

    @Test
    void blockingReceiveWaitsPastDiscardedReportsUntilARead() throws Exception {
        script("timeout", "frame 17 01 02 03", "frame 18 0a 0b 0c", "error");
        long h = VelkReader.openImpl();
        try {
            byte[] data = untouched(3);
            assertTrue(VelkReader.receiveW26Impl(h, data));
            assertArrayEquals(new byte[] {10, 11, 12}, data);
            byte[] failed = untouched(3);
            assertFalse(VelkReader.receiveW26Impl(h, failed));
            assertArrayEquals(untouched(3), failed);
        } finally {
            VelkReader.closeImpl(h);
        }
        assertEquals(4, count("read 5 1000"));
    }

    @Test
    void shortOrMissingArrayIsRejectedBeforeTheDevice() throws Exception {
        script("frame 18 01 02 03");
        long h = VelkReader.openImpl();
        try {
            assertFalse(VelkReader.receiveW26Impl(h, new byte[2]));
            assertFalse(VelkReader.receiveW26Impl(h, null));
            assertEquals(0, VelkReader.receiveW26TImpl(h, new byte[2], 0));
            assertEquals(0, VelkReader.receiveW26TImpl(h, null, 0));
            assertEquals(List.of("open ffff 0001 -"), log());
            assertEquals(3, VelkReader.receiveW26TImpl(h, new byte[3], 0));
        } finally {
            VelkReader.closeImpl(h);
        }
    }

    @Test
    void thirtyTwoBitHandleIsSignExtendedAndUsedThroughItsLowBits() throws Exception {
        assumeTrue("32".equals(System.getProperty("sun.arch.data.model")));
        script("frame 18 01 02 03");
        long h = VelkReader.openImpl();
        try {
            assertEquals((long) (int) h, h);
            long highBitsFlipped = h ^ 0xFFFF_FFFF_0000_0000L;
            assertEquals(3, VelkReader.receiveW26TImpl(highBitsFlipped, new byte[3], 0));
        } finally {
            VelkReader.closeImpl(h ^ 0xFFFF_FFFF_0000_0000L);
        }
        assertEquals(1, count("close"));
    }

    @Test
    void zeroHandleDoesNothing() throws Exception {
        script();
        byte[] data = untouched(3);
        assertEquals(0, VelkReader.receiveW26TImpl(0, data, 0));
        assertFalse(VelkReader.receiveW26Impl(0, data));
        VelkReader.closeImpl(0);
        assertArrayEquals(untouched(3), data);
        assertEquals(List.of(), log());
    }
}

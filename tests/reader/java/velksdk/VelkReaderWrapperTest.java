package velksdk;

import static com.vormel.kx.testkit.HidapiStandIn.awaitLine;
import static com.vormel.kx.testkit.HidapiStandIn.count;
import static com.vormel.kx.testkit.HidapiStandIn.log;
import static com.vormel.kx.testkit.HidapiStandIn.script;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.testkit.Patience;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.Test;

/** The Java API around the natives, against the scripted hidapi stand-in. */
class VelkReaderWrapperTest {
    @Test
    void openGivesNullWithoutDevice() throws Exception {
        script("absent");
        assertNull(VelkReader.open());
    }

    @Test
    void receivesWithAndWithoutTimeout() throws Exception {
        script("frame 18 01 02 03", "timeout", "frame 18 04 05 06", "timeout",
                "frame 18 07 08 09", "error");
        try (VelkReader reader = VelkReader.open()) {
            assertNotNull(reader);
            byte[] data = new byte[3];
            assertTrue(reader.receive(data));
            assertArrayEquals(new byte[] {1, 2, 3}, data);
            assertEquals(0, reader.receive(data, 0));
            assertEquals(3, reader.receive(data, 20));
            assertArrayEquals(new byte[] {4, 5, 6}, data);
            assertEquals(3, reader.receive(data, -1));
            assertArrayEquals(new byte[] {7, 8, 9}, data);
            assertFalse(reader.receive(data));
        }
        assertEquals(List.of("read 5 1000", "read 5 0", "read 5 20", "read 5 1000", "read 5 1000",
                "read 5 1000"), log().stream().filter(l -> l.startsWith("read ")).toList());
    }

    @Test
    void shortOrMissingArrayFailsWithoutReading() throws Exception {
        script("frame 18 01 02 03");
        try (VelkReader reader = VelkReader.open()) {
            assertFalse(reader.receive(new byte[2]));
            assertFalse(reader.receive(null));
            assertEquals(-1, reader.receive(new byte[2], 0));
            assertEquals(-1, reader.receive(null, -1));
            assertEquals(0, count("read 5 0") + count("read 5 1000"));
        }
    }

    @Test
    void closedReaderFailsWithoutNativeCallsAndClosesOnce() throws Exception {
        script("frame 18 01 02 03");
        VelkReader reader = VelkReader.open();
        reader.close();
        reader.close();
        byte[] data = new byte[3];
        assertFalse(reader.receive(data));
        assertEquals(-1, reader.receive(data, 0));
        assertArrayEquals(new byte[3], data);
        assertEquals(List.of("open ffff 0001 -", "close"), log());
    }

    @Test
    void closeWaitsForTheReceiveInProgress() throws Exception {
        script(); // an idle device: each attempt waits out its timeout
        VelkReader reader = VelkReader.open();
        AtomicInteger result = new AtomicInteger(-2);
        Thread receiver = new Thread(() -> result.set(reader.receive(new byte[3]) ? 1 : 0));
        receiver.start();
        awaitLine("read 5 1000");
        reader.close();
        receiver.join(Patience.MILLIS);
        assertFalse(receiver.isAlive());
        assertEquals(0, result.get());
        List<String> log = log();
        assertEquals("close", log.get(log.size() - 1), log::toString);
        assertEquals("read-end 0", log.get(log.size() - 2), log::toString);
        assertEquals(1, count("close"));
    }

    @Test
    void closeEndsALongTimedReceiveAfterOneAttempt() throws Exception {
        script(); // idle: the receive would wait out its ten minutes
        VelkReader reader = VelkReader.open();
        AtomicInteger result = new AtomicInteger(-2);
        Thread receiver = new Thread(() -> result.set(reader.receive(new byte[3], 600_000)));
        receiver.start();
        // The wait goes to hidapi in attempts of a second, so close has its turn after one.
        awaitLine("read 5 " + VelkReader.ATTEMPT_MILLIS);
        reader.close();
        receiver.join(Patience.MILLIS);
        assertFalse(receiver.isAlive());
        assertEquals(-1, result.get());
        List<String> log = log();
        assertEquals(List.of("read 5 1000", "read-end 0", "close"),
                log.subList(log.size() - 3, log.size()), log::toString);
    }
}

package com.vormel.kx.smartcardio.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.smartcardio.VelkProvider;
import com.vormel.kx.testkit.Patience;
import com.vormel.kx.testkit.VirtualCard;
import java.nio.ByteBuffer;
import java.security.NoSuchAlgorithmException;
import java.security.Provider;
import java.security.Security;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.ServiceLoader;
import javax.smartcardio.CardException;
import javax.smartcardio.CardTerminal;
import javax.smartcardio.CommandAPDU;
import javax.smartcardio.TerminalFactory;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/**
 * The JDK's own provider is the oracle: the same program observes the same through Velk, but
 * where Velk is right and the JDK's provider is not (README: the differences). The VM runs with
 * the demo's java.security override, which puts Velk in the JDK provider's place.
 */
@Timeout(900)
class ComparisonTest {
    // Velk's answers where it differs from the JDK's provider on purpose.
    private static final Map<String, String> VELK_IS_RIGHT = Map.of(
            "6C xx, case 1", "212223249000", // Le added, not P2 overwritten
            "6C xx, case 3", "41429000", // Le added, not the last data byte overwritten
            "T=0 6C xx, case 4", "6C03", // a T=0 command with data cannot carry Le
            "secure messaging on channel 5", "9001"); // the SM bits carried over (class 61)
    // What the stack must give both, lest a broken card script compare equal.
    private static final Map<String, String> BOTH_SEE = Map.of(
            "61 xx chain", "0102030405060708099000",
            "61 xx chain on channel 5", "0C0D9000",
            "T=0 case 4 answered through GET RESPONSE", "6F038401AA9000",
            "after the insertion, list CARD_INSERTION", "[" + VirtualCard.t0().reader() + "]",
            "pin-pad verify", "9000",
            "pin-pad verify cancelled", "6401");

    @Test
    void velkObservesWhatTheJdksProviderObserves() throws Exception {
        Map<String, String> jdk = Scenario.run(TerminalFactory.getInstance("PC/SC", null, jdk()));
        Map<String, String> velk =
                Scenario.run(TerminalFactory.getInstance("PC/SC", null, new VelkProvider()));
        BOTH_SEE.forEach((step, seen) -> assertEquals(seen, jdk.get(step), "JDK: " + step));
        Map<String, String> expected = new LinkedHashMap<>(jdk);
        VELK_IS_RIGHT.forEach((step, seen) -> assertTrue(expected.replace(step, seen) != null));
        assertEquals(lines(expected), lines(velk));
    }

    @Test
    void anAnswerWithoutStatusWordIsTheCardsFailure() throws Exception {
        CardTerminal terminal = TerminalFactory.getInstance("PC/SC", null, new VelkProvider())
                .terminals().getTerminal(VirtualCard.t1().reader());
        byte[] pulls = Scenario.HEX.parseHex("80EE0000"); // the card leaves without answering
        ByteBuffer command = ByteBuffer.wrap(pulls);
        ByteBuffer response = ByteBuffer.allocate(300);
        List<Scenario.Step> forms = List.of(
                () -> terminal.connect("*").getBasicChannel().transmit(new CommandAPDU(pulls)),
                () -> terminal.connect("*").getBasicChannel().transmit(command, response));
        for (Scenario.Step form : forms) {
            CardException e = assertThrows(CardException.class, form::run);
            assertEquals("The card gave no status word: its response has 0 byte(s)",
                    e.getMessage());
            assertTrue(terminal.waitForCardAbsent(Patience.MILLIS));
            VirtualCard.t1().insert();
            assertTrue(terminal.waitForCardPresent(Patience.MILLIS));
        }
        assertEquals(0, command.remaining() + response.position(), "command taken, no answer");
    }

    @Test
    void velkIsSelectedTheThreeUsualWays() throws Exception {
        // Through the override file, without the program naming a provider.
        TerminalFactory byDefault = TerminalFactory.getDefault();
        assertEquals("Velk", byDefault.getProvider().getName());
        assertEquals(3, byDefault.terminals().list().size(), "two vpcd readers, the pin-pad");
        // Ahead of the JDK's provider in the VM's list.
        Security.removeProvider("Velk");
        Security.addProvider(jdk());
        assertEquals("SunPCSC", TerminalFactory.getInstance("PC/SC", null).getProvider().getName());
        assertEquals(1, Security.insertProviderAt(new VelkProvider(), 1));
        assertEquals("Velk", TerminalFactory.getInstance("PC/SC", null).getProvider().getName());
        // By the provider object, as the scenario does; a parameter is refused as by the JDK's.
        NoSuchAlgorithmException e = assertThrows(NoSuchAlgorithmException.class,
                () -> TerminalFactory.getInstance("PC/SC", "parameter", new VelkProvider()));
        assertInstanceOf(IllegalArgumentException.class, e.getCause());
    }

    // The override file took SunPCSC out of the VM's list; the JDK's module still offers it.
    private static Provider jdk() {
        return ServiceLoader.load(Provider.class).stream()
                .filter(p -> p.type().getName().equals("sun.security.smartcardio.SunPCSC"))
                .findFirst().orElseThrow().get();
    }

    private static String lines(Map<String, String> seen) {
        StringBuilder text = new StringBuilder();
        seen.forEach((step, value) -> text.append(step).append(" => ").append(value).append('\n'));
        return text.toString();
    }
}

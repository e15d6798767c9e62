package com.vormel.kx.smartcardio;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.security.NoSuchAlgorithmException;
import java.security.Provider;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The {@code Velk} security provider: a {@code javax.smartcardio} {@code TerminalFactory} of
 * type {@code PC/SC} on the system's PC/SC lite resource manager, through {@link
 * com.vormel.kx.platform.velksmartcard.VelkSCard}.
 *
 * <p>Select it in one of three ways:
 *
 * <pre>{@code
 * TerminalFactory.getInstance("PC/SC", null, new VelkProvider());
 * Security.insertProviderAt(new VelkProvider(), 1);  // then TerminalFactory.getInstance("PC/SC")
 * java -Djava.security.properties=velk.security ...  // security.provider.9=Velk in that file
 * }</pre>
 *
 * <p>Java 8 reads a class name there, not a provider's name: {@code
 * security.provider.9=com.vormel.kx.smartcardio.VelkProvider} (which later Javas accept too).
 *
 * <p>A bridge that cannot be loaded (another platform, a missing system library, native access
 * denied) does not fail the factory's creation, so that the JDK does not fall back to another
 * provider unnoticed: each call that needs PC/SC fails with a {@code CardException} that says
 * why.
 *
 * <p>The factory takes no parameters. Beyond the JDK's own provider it re-establishes its PC/SC
 * context after the daemon restarts, lets interrupts stop its waits and reads reader attributes
 * ({@link VelkCard#getAttribute}).
 *
 * <p>Threads: the provider holds no PC/SC state. Each factory has its own context, which its
 * terminals share; any number of threads may use a factory and what it hands out. Serialized
 * are {@code connect} per terminal, {@code waitForChange} per {@code CardTerminals} object and
 * {@code beginExclusive}/{@code endExclusive} per card; everything else runs side by side.
 */
public final class VelkProvider extends Provider {
    private static final long serialVersionUID = 1L;
    private static final String NAME = "Velk";
    private static final String TYPE = "TerminalFactory";
    private static final String ALGORITHM = "PC/SC";
    private static final String VERSION = version();

    /** Creates the provider with its one service, {@code TerminalFactory.PC/SC}. */
    public VelkProvider() {
        // Java 8 knows versions as numbers only: "0.1.0" is 0.1 there, and whole in the info.
        super(NAME, number(VERSION),
                "Velk PC/SC provider " + VERSION + " (javax.smartcardio on libvelkscard)");
        putService(new FactoryService(this));
    }

    /** "major.minor" of a version as a number; 0 for a version that does not start so. */
    private static double number(String version) {
        Matcher m = Pattern.compile("^[0-9]+(\\.[0-9]+)?").matcher(version);
        return m.find() ? Double.parseDouble(m.group()) : 0;
    }

    // The build writes the product's version next to this class.
    private static String version() {
        try (InputStream in = VelkProvider.class.getResourceAsStream("velk.version")) {
            if (in != null) {
                ByteArrayOutputStream bytes = new ByteArrayOutputStream();
                byte[] buffer = new byte[64];
                for (int n; (n = in.read(buffer)) > 0;) {
                    bytes.write(buffer, 0, n);
                }
                return new String(bytes.toByteArray(), StandardCharsets.US_ASCII).trim();
            }
        } catch (IOException e) {
            // An unreadable resource is as good as none.
        }
        return "0";
    }

    // Builds factories without reflection and refuses parameters as the JDK's provider does.
    private static final class FactoryService extends Provider.Service {
        FactoryService(Provider provider) {
            super(provider, TYPE, ALGORITHM, VelkTerminalFactory.class.getName(), null, null);
        }

        @Override
        public Object newInstance(Object parameter) throws NoSuchAlgorithmException {
            try {
                if (parameter != null) {
                    throw new IllegalArgumentException("Velk factory does not use parameters");
                }
                return new VelkTerminalFactory();
            } catch (RuntimeException | LinkageError e) {
                throw new NoSuchAlgorithmException(
                        "Error constructing " + TYPE + " for " + ALGORITHM + " using " + NAME, e);
            }
        }
    }
}

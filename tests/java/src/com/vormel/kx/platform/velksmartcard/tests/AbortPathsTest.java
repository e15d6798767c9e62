package com.vormel.kx.platform.velksmartcard.tests;

import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.ChildProcess;
import com.vormel.kx.testkit.PcscTexts;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * When the bridge cannot raise its Java exception, it ends the VM with a text naming both
 * failures. Each case runs in a child VM whose class path is broken on purpose; HotSpot prints
 * the text on standard output and the child ends with a non-zero status.
 */
class AbortPathsTest {
    private static final String PACKAGE = "com/vormel/kx/platform/velksmartcard/";
    private static final String FATAL_CLASS = PACKAGE + "VelkCardFatalException.class";
    private static final String CARD_CLASS = PACKAGE + "VelkCardException.class";

    private Scratch work;

    @BeforeEach
    void createWorkDirectory() throws Exception {
        work = new Scratch();
    }

    @AfterEach
    void deleteWorkDirectory() throws Exception {
        work.close();
    }

    @Test
    void missingFatalExceptionClassAbortsWithBothFailures() throws Exception {
        Path classes = ChildJvm.unpackWithout(productJar(), work, FATAL_CLASS);
        assertAborted(List.of(classes, testJar()), "fatal",
                "trying to throw VelkCardFatalException (message=[illegal protocol 0].line=630)"
                        + " and got another one (message=[JNI exception occurred].line=831)"
                        + " (line=920)");
    }

    @Test
    void missingCardExceptionClassAbortsWithBothFailures() throws Exception {
        Path classes = ChildJvm.unpackWithout(productJar(), work, CARD_CLASS);
        assertAborted(List.of(classes, testJar()), "pcsc",
                "trying to throw VelkCardException (message=[SCardEstablishContext failed with"
                        + " code " + PcscTexts.NO_SERVICE + "]) and got VelkCardFatalException"
                        + " (message=[JNI exception occurred].line=831) (line=942)");
    }

    @Test
    void fatalExceptionWithoutCauseConstructorAbortsWithBothFailures() throws Exception {
        Path variant = Path.of(System.getProperty("velk.test.fatalWithoutCauseJar"));
        assertTrue(Files.isRegularFile(variant), variant.toString());
        // The variant comes first on the class path and so hides the product's class.
        assertAborted(List.of(variant, productJar(), testJar()), "fatal",
                "trying to throw VelkCardFatalException (message=[illegal protocol 0].line=630)"
                        + " and got another one (message=[JNI exception occurred].line=854)"
                        + " (line=920)");
    }

    /** Runs the scenario in a child VM on the class path; it must abort with the text. */
    private void assertAborted(List<Path> classPath, String scenario, String text)
            throws Exception {
        ChildProcess.Result r =
                ChildJvm.run(work, classPath, AbortScenario.class.getName(), scenario);
        String report = r.report();
        assertTrue(r.stdout().lines().anyMatch(l -> l.equals("FATAL ERROR in native method: "
                + text)), "expected the abort text on stdout; got " + report);
        assertFalse(r.stdout().contains("native call returned"), report);
        assertNotEquals(0, r.exitCode(), report);
    }

    private static Path productJar() {
        return ChildJvm.origin(VelkSCard.class);
    }

    private static Path testJar() {
        return ChildJvm.origin(AbortScenario.class);
    }
}

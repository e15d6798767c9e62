package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import com.vormel.kx.platform.velksmartcard.VelkCardFatalException;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/**
 * The command line tool of the jar: {@code java -jar velk.jar COMMAND [ARGS]}, built on the
 * public API of {@code VelkSCard} and {@code VelkReader} only. Run it with {@code --help} for the
 * commands and exit codes.
 */
public final class Main {
    private static final int SCARD_E_NO_SERVICE = 0x8010001D;
    private static final int SCARD_E_SERVICE_STOPPED = 0x8010001E;
    private static final int SCARD_W_SECURITY_VIOLATION = 0x8010006A;
    private static final List<Command> COMMANDS = Arrays.asList(new ListCommand(), new WatchCommand(),
            new SendCommand(), new AttrCommand(), new WiegandCommand());

    private Main() {}

    /**
     * Runs one command and exits with its exit code.
     *
     * @param args the command and its arguments
     */
    public static void main(String[] args) {
        StopSignal stop = new StopSignal();
        CountDownLatch done = new CountDownLatch(1);
        // Ctrl-C: ask the running command to stop and let it close what it opened.
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            stop.stop();
            try {
                done.await(10, TimeUnit.SECONDS);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }, "velk-interrupt"));
        int code;
        try {
            code = run(args, System.out, System.err, stop);
        } finally {
            System.out.flush();
            done.countDown();
        }
        System.exit(code);
    }

    /** Runs one command line; returns the exit code. */
    static int run(String[] argv, PrintStream out, PrintStream err, StopSignal stop) {
        List<String> args = new ArrayList<>(Arrays.asList(argv));
        boolean verbose = args.remove("--verbose") | args.remove("-v");
        if (args.isEmpty()) {
            err.println(overview());
            return ExitCode.USAGE;
        }
        String word = args.remove(0);
        if (word.equals("--version")) {
            out.println(version());
            return ExitCode.OK;
        }
        if (word.equals("--help") || word.equals("-h") || word.equals("help")) {
            Command topic = args.isEmpty() ? null : find(args.get(0));
            out.println(topic != null ? topic.help() : overview());
            return ExitCode.OK;
        }
        Command command = find(word);
        if (command == null) {
            err.println("velk: unknown command '" + word + "' (try --help)");
            return ExitCode.USAGE;
        }
        if (args.contains("--help") || args.contains("-h")) {
            out.println(command.help());
            return ExitCode.OK;
        }
        String prefix = "velk " + command.name() + ": ";
        try {
            return command.run(args, new Io(out, err, stop));
        } catch (CliException e) {
            err.println(prefix + e.getMessage()
                    + (e.exitCode() == ExitCode.USAGE ? " (try --help)" : ""));
            return e.exitCode();
        } catch (VelkCardException e) {
            int code = fail(err, prefix + e.getMessage(), e, verbose);
            String hint = hint(e, System.getenv("PCSCLITE_CSOCK_NAME"));
            if (hint != null) {
                err.println(hint);
            }
            return code;
        } catch (VelkCardFatalException e) {
            return fail(err, prefix + e.getMessage(), e, verbose);
        } catch (LinkageError e) {
            return fail(err, prefix + "cannot load the native library: " + loaderWords(e), e,
                    verbose);
        } catch (RuntimeException e) {
            return fail(err, prefix + "unexpected error: " + innermost(e), e, verbose);
        } finally {
            out.flush();
        }
    }

    /** One line on the likely cause of a PC/SC failure, or null when there is none to give. */
    static String hint(VelkCardException e, String socket) {
        switch (e.getErrorCode()) {
            case SCARD_E_NO_SERVICE:
                return noServiceHint(socket);
            case SCARD_W_SECURITY_VIOLATION:
                return "hint: pcscd's policy (polkit) does not allow this user to use smart cards"
                        + " or this reader; an administrator can allow it with a polkit rule for"
                        + " org.debian.pcsc-lite.access_pcsc and access_card";
            case SCARD_E_SERVICE_STOPPED:
                // Every command's first call; a daemon that stops later is no mismatch.
                if (e.getMessage().startsWith("SCardEstablishContext ")) {
                    return "hint: pcscd turned this client away at its first call; the PC/SC lite"
                            + " library here and the daemon may be of different versions (as"
                            + " with a container and its host's pcscd)";
                }
                return null;
            default:
                return null;
        }
    }

    /** One line on what to check when no PC/SC daemon answers. */
    static String noServiceHint(String socket) {
        if (socket != null && !socket.isEmpty()) {
            return "hint: no pcscd answers at PCSCLITE_CSOCK_NAME=" + socket
                    + "; is that daemon running? (unset the variable for the system's pcscd)";
        }
        return "hint: is pcscd running? (apt-get install pcscd; systemctl start pcscd.socket;"
                + " a daemon at another socket needs PCSCLITE_CSOCK_NAME)";
    }

    /** "velk 0.1.0", from the jar's manifest. */
    static String version() {
        String version = Main.class.getPackage().getImplementationVersion();
        return version != null ? "velk " + version
                : "velk: no version (run from a build tree, not from the distribution jar)";
    }

    private static int fail(PrintStream err, String line, Throwable e, boolean verbose) {
        err.println(line);
        if (verbose) {
            e.printStackTrace(err);
        }
        return ExitCode.FAILURE;
    }

    /**
     * The loader's own words along the causes (class initialisation wraps them), which say what
     * to do; else the deepest message.
     */
    static String loaderWords(Throwable e) {
        for (Throwable t = e; t != null; t = t.getCause()) {
            String message = t.getMessage();
            if (message != null && message.startsWith("velk: ")) {
                return message.substring("velk: ".length());
            }
        }
        return innermost(e);
    }

    /** The deepest message along the causes, for errors wrapped by class initialisation. */
    private static String innermost(Throwable e) {
        String message = e.toString();
        for (Throwable t = e; t != null; t = t.getCause()) {
            if (t.getMessage() != null) {
                message = t.getMessage();
            }
        }
        return message;
    }

    private static Command find(String name) {
        for (Command c : COMMANDS) {
            if (c.name().equals(name)) {
                return c;
            }
        }
        return null;
    }

    private static String overview() {
        StringBuilder text = new StringBuilder(String.join("\n",
                "usage: velk COMMAND [ARGS]      (velk is: java -jar velk.jar)",
                "       velk COMMAND --help",
                "       velk --version",
                "",
                "commands:"));
        for (Command c : COMMANDS) {
            text.append(String.format("%n  %-8s %s", c.name(), c.summary()));
        }
        text.append(String.join("\n", "",
                "",
                "options for every command:",
                "  --verbose   print the stack trace of an error",
                "",
                "PC/SC commands talk to the system's pcscd; PCSCLITE_CSOCK_NAME selects",
                "another daemon's socket (see scripts/virtual-stack.sh).",
                "",
                "exit codes:",
                "  0  done",
                "  1  PC/SC or reader device error",
                "  2  usage error or bad input (unknown command, option or attribute,",
                "     malformed hex)",
                "  3  no reader, unknown reader, or no Wiegand reader attached",
                "  4  wiegand --timeout passed without a card",
                "  130  interrupted (Ctrl-C) while watch or wiegand ran; what they opened",
                "       is closed"));
        return text.toString();
    }
}

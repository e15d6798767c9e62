package com.vormel.kx.tool;

import com.vormel.kx.platform.velksmartcard.VelkCardException;
import java.util.List;

/** One subcommand of the tool. */
interface Command {
    /** The word that selects it. */
    String name();

    /** One line for the command overview. */
    String summary();

    /** The full help text: usage line, options, output and exit codes. */
    String help();

    /**
     * Runs the command.
     *
     * @return the exit code
     */
    int run(List<String> args, Io io) throws CliException, VelkCardException;
}

package com.vormel.kx.tool;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/** The options and operands of one command: "--flag", "--name value" or "--name=value". */
final class Args {
    private final Set<String> flags = new HashSet<>();
    private final Map<String, String> values = new HashMap<>();
    private final List<String> operands = new ArrayList<>();

    private Args() {}

    /** The option names a command knows, for {@link #parse}. */
    static Set<String> names(String... names) {
        return new HashSet<>(Arrays.asList(names));
    }

    /**
     * @param flagNames options without a value, such as "--transaction"
     * @param valueNames options that take a value, such as "--timeout"
     */
    static Args parse(List<String> args, Set<String> flagNames, Set<String> valueNames)
            throws CliException {
        Args parsed = new Args();
        boolean optionsEnd = false;
        for (int i = 0; i < args.size(); i++) {
            String arg = args.get(i);
            if (optionsEnd || !arg.startsWith("-") || arg.equals("-")) {
                parsed.operands.add(arg);
            } else if (arg.equals("--")) {
                optionsEnd = true;
            } else {
                int eq = arg.indexOf('=');
                String name = eq < 0 ? arg : arg.substring(0, eq);
                if (flagNames.contains(name) && eq < 0) {
                    parsed.flags.add(name);
                } else if (valueNames.contains(name)) {
                    if (eq >= 0) {
                        parsed.values.put(name, arg.substring(eq + 1));
                    } else if (i + 1 < args.size()) {
                        parsed.values.put(name, args.get(++i));
                    } else {
                        throw CliException.usage("option " + name + " needs a value");
                    }
                } else {
                    throw CliException.usage("unknown option '" + arg + "'");
                }
            }
        }
        return parsed;
    }

    boolean has(String flag) {
        return flags.contains(flag);
    }

    String value(String name, String fallback) {
        return values.getOrDefault(name, fallback);
    }

    /** The option's value as a whole number from {@code min} to {@code max}, or the fallback. */
    long number(String name, long fallback, long min, long max) throws CliException {
        String text = values.get(name);
        if (text == null) {
            return fallback;
        }
        try {
            long n = Long.parseLong(text);
            if (n >= min && n <= max) {
                return n;
            }
        } catch (NumberFormatException e) {
            // reported below
        }
        throw CliException.usage(name + " needs a whole number of at least " + min
                + (max == Long.MAX_VALUE ? "" : " and at most " + max) + ", not '" + text + "'");
    }

    List<String> operands() {
        return operands;
    }
}

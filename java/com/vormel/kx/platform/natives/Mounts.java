package com.vormel.kx.platform.natives;

/** Reads the process's mount table (/proc/self/mountinfo) for a directory's mount options. */
final class Mounts {
    private Mounts() {}

    /**
     * Whether the mount that holds {@code realPath} forbids executables.
     *
     * @param mountinfo the text of /proc/self/mountinfo
     * @param realPath an absolute path without symbolic links
     */
    static boolean noexec(String mountinfo, String realPath) {
        String best = null;
        boolean noexec = false;
        for (String line : mountinfo.split("\n")) {
            // id parent major:minor root mount-point options ...
            String[] fields = line.split(" ");
            if (fields.length < 6) {
                continue;
            }
            String point = unescape(fields[4]);
            // The longest mount point that holds the path; of equal ones the later mount.
            if (holds(point, realPath) && (best == null || point.length() >= best.length())) {
                best = point;
                noexec = (',' + fields[5] + ',').contains(",noexec,");
            }
        }
        return noexec;
    }

    private static boolean holds(String point, String path) {
        return point.equals("/") || path.equals(point) || path.startsWith(point + "/");
    }

    // The table writes space, tab, newline and backslash as octal escapes ("\040").
    private static String unescape(String field) {
        StringBuilder text = new StringBuilder(field.length());
        for (int i = 0; i < field.length(); i++) {
            char c = field.charAt(i);
            if (c == '\\' && i + 3 < field.length() && isOctal(field, i + 1)) {
                text.append((char) Integer.parseInt(field.substring(i + 1, i + 4), 8));
                i += 3;
            } else {
                text.append(c);
            }
        }
        return text.toString();
    }

    private static boolean isOctal(String s, int from) {
        for (int i = from; i < from + 3; i++) {
            if (s.charAt(i) < '0' || s.charAt(i) > '7') {
                return false;
            }
        }
        return true;
    }
}

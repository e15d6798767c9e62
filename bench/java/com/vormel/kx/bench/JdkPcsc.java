package com.vormel.kx.bench;

import java.lang.invoke.MethodHandle;
import java.lang.invoke.MethodHandles;
import java.lang.reflect.Method;

/**
 * The JDK's own PC/SC natives (the static methods of sun.security.smartcardio.PCSC), reached
 * through method handles; needs --add-opens java.smartcardio/sun.security.smartcardio=ALL-UNNAMED.
 * Loading the class loads the JDK's PC/SC layer.
 */
final class JdkPcsc {
    static final MethodHandle ESTABLISH_CONTEXT =
            find("SCardEstablishContext", int.class);
    static final MethodHandle LIST_READERS = find("SCardListReaders", long.class);
    static final MethodHandle CONNECT =
            find("SCardConnect", long.class, String.class, int.class, int.class);
    static final MethodHandle TRANSMIT =
            find("SCardTransmit", long.class, int.class, byte[].class, int.class, int.class);
    static final MethodHandle STATUS = find("SCardStatus", long.class, byte[].class);
    static final MethodHandle GET_STATUS_CHANGE =
            find("SCardGetStatusChange", long.class, long.class, int[].class, String[].class);
    static final MethodHandle DISCONNECT = find("SCardDisconnect", long.class, int.class);

    private JdkPcsc() {}

    private static MethodHandle find(String name, Class<?>... parameters) {
        try {
            Class<?> pcsc = Class.forName("sun.security.smartcardio.PCSC");
            Method method = pcsc.getDeclaredMethod(name, parameters);
            method.setAccessible(true);
            return MethodHandles.lookup().unreflect(method);
        } catch (ReflectiveOperationException | RuntimeException e) {
            throw new IllegalStateException(
                    "cannot reach sun.security.smartcardio.PCSC." + name
                            + " (run with --add-opens"
                            + " java.smartcardio/sun.security.smartcardio=ALL-UNNAMED)",
                    e);
        }
    }
}

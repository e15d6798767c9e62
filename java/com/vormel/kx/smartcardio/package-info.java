/**
 * A {@code javax.smartcardio} provider on the PC/SC bridge: {@link
 * com.vormel.kx.smartcardio.VelkProvider}, whose {@code TerminalFactory} of type {@code PC/SC}
 * behaves as the JDK's own provider does and, beyond it, comes back after the PC/SC daemon
 * restarts, lets interrupts end its waits and reads reader attributes ({@link
 * com.vormel.kx.smartcardio.VelkCard#getAttribute}).
 *
 * <p>Threads: terminals, cards and channels may be used from several threads. Serialized are
 * {@code connect} per terminal, {@code waitForChange} per {@code CardTerminals} object, and
 * {@code beginExclusive}/{@code endExclusive} per card; lists, presence checks, card waits and
 * transmissions run side by side (PC/SC lite serializes the exchanges of one connection). A
 * card in exclusive use refuses every other thread with a {@code CardException}. Waits run on
 * PC/SC contexts of their own in slices of a tenth of a second; an interrupt ends them with a
 * {@code CardException} whose cause is an {@code InterruptedException}, the thread's interrupt
 * flag set again.
 */
package com.vormel.kx.smartcardio;

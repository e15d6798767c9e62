package com.vormel.kx.platform.velksmartcard.tests;

import static com.vormel.kx.testkit.Failures.assertFatalCausedBy;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import com.vormel.kx.platform.velksmartcard.VelkSCard;
import com.vormel.kx.testkit.Cards;
import com.vormel.kx.testkit.CardsExtension;
import com.vormel.kx.testkit.VirtualCard;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.extension.ExtendWith;

/** The state word, the ATR and the reader attributes of a connected virtual card. */
@Timeout(120)
@ExtendWith(CardsExtension.class)
class CardStatusTest {
    // What pcscd reports for a powered card whose protocol it has not pinned down, in the low
    // half of the word; the high half counts the card events of the reader.
    private static final int POWERED_CARD =
            VelkSCard.SCARD_PRESENT | VelkSCard.SCARD_POWERED | VelkSCard.SCARD_NEGOTIABLE;
    private static final int STATE_BITS = 0xFFFF;

    private final long t1Card;
    private final long t0Card;

    CardStatusTest(Cards cards) {
        t1Card = cards.t1();
        t0Card = cards.t0();
    }

    @Test
    void statusGivesTheStateWordInElementZeroAndExactlyTheAtr() throws Exception {
        int[] state = {-5, -6, -7};
        assertArrayEquals(VirtualCard.t1().atr(), VelkSCard.SCardStatus(t1Card, state));
        assertEquals(POWERED_CARD, state[0] & STATE_BITS);
        assertArrayEquals(new int[] {-6, -7}, new int[] {state[1], state[2]});

        int[] single = {-5};
        assertArrayEquals(VirtualCard.t0().atr(), VelkSCard.SCardStatus(t0Card, single));
        assertEquals(POWERED_CARD, single[0] & STATE_BITS);
    }

    @Test
    void anEmptyStateArrayReportsTheIndexFailure() {
        assertFatalCausedBy(ArrayIndexOutOfBoundsException.class, 512,
                () -> VelkSCard.SCardStatus(t1Card, new int[0]));
    }

    @Test
    void theDriversAtrTagGivesExactlyTheAtr() throws Exception {
        assertArrayEquals(VirtualCard.t1().atr(), VelkSCard.SCardGetAttr(t1Card, VelkSCard.TAG_IFD_ATR));
        assertArrayEquals(VirtualCard.t0().atr(), VelkSCard.SCardGetAttr(t0Card, VelkSCard.TAG_IFD_ATR));
    }

    @Test
    void anAttributeTheDriverDoesNotSupportIsNull() throws Exception {
        assertNull(VelkSCard.SCardGetAttr(t1Card, VelkSCard.SCARD_ATTR_ATR_STRING));
        // No exception is left behind: the next call works normally.
        assertArrayEquals(VirtualCard.t1().atr(), VelkSCard.SCardGetAttr(t1Card, VelkSCard.TAG_IFD_ATR));
    }
}

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

    private final Cards cards;

    CardStatusTest(Cards cards) {
        this.cards = cards;
    }

    @Test
    void statusGivesTheStateWordInElementZeroAndExactlyTheAtr() throws Exception {
        int[] state = {-5, -6, -7};
        assertArrayEquals(VirtualCard.t1().atr(), VelkSCard.SCardStatus(cards.t1(), state));
        assertEquals(POWERED_CARD, state[0] & STATE_BITS);
        assertArrayEquals(new int[] {-6, -7}, new int[] {state[1], state[2]});

        int[] single = {-5};
        assertArrayEquals(VirtualCard.t0().atr(), VelkSCard.SCardStatus(cards.t0(), single));
        assertEquals(POWERED_CARD, single[0] & STATE_BITS);
    }

    @Test
    void anEmptyStateArrayReportsTheIndexFailure() {
        assertFatalCausedBy(ArrayIndexOutOfBoundsException.class, 512,
                () -> VelkSCard.SCardStatus(cards.t1(), new int[0]));
    }

    @Test
    void theDriversAtrTagGivesExactlyTheAtr() throws Exception {
        assertArrayEquals(VirtualCard.t1().atr(),
                VelkSCard.SCardGetAttr(cards.t1(), VelkSCard.TAG_IFD_ATR));
        assertArrayEquals(VirtualCard.t0().atr(),
                VelkSCard.SCardGetAttr(cards.t0(), VelkSCard.TAG_IFD_ATR));
    }

    @Test
    void anAttributeTheDriverDoesNotSupportIsNull() throws Exception {
        assertNull(VelkSCard.SCardGetAttr(cards.t1(), VelkSCard.SCARD_ATTR_ATR_STRING));
        // No exception is left behind: the next call works normally.
        assertArrayEquals(VirtualCard.t1().atr(),
                VelkSCard.SCardGetAttr(cards.t1(), VelkSCard.TAG_IFD_ATR));
    }
}

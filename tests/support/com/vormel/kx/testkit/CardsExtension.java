package com.vormel.kx.testkit;

import org.junit.jupiter.api.extension.AfterAllCallback;
import org.junit.jupiter.api.extension.BeforeAllCallback;
import org.junit.jupiter.api.extension.ExtensionContext;
import org.junit.jupiter.api.extension.ParameterContext;
import org.junit.jupiter.api.extension.ParameterResolver;

/**
 * Hands a test class its {@link Cards}, established before the class's first test and closed
 * after its last: {@code @ExtendWith(CardsExtension.class)} and a constructor or test method
 * parameter of type {@code Cards}.
 */
public final class CardsExtension
        implements BeforeAllCallback, AfterAllCallback, ParameterResolver {
    private static final ExtensionContext.Namespace NAMESPACE =
            ExtensionContext.Namespace.create(CardsExtension.class);

    /** Made by JUnit. */
    public CardsExtension() {}

    @Override
    public void beforeAll(ExtensionContext context) throws Exception {
        context.getStore(NAMESPACE).put(Cards.class, Cards.open());
    }

    @Override
    public void afterAll(ExtensionContext context) {
        Cards cards = context.getStore(NAMESPACE).remove(Cards.class, Cards.class);
        if (cards != null) {
            cards.close();
        }
    }

    @Override
    public boolean supportsParameter(ParameterContext parameter, ExtensionContext context) {
        return parameter.getParameter().getType() == Cards.class;
    }

    @Override
    public Object resolveParameter(ParameterContext parameter, ExtensionContext context) {
        return context.getStore(NAMESPACE).get(Cards.class, Cards.class);
    }
}

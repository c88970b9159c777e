// Anchor of the precompiled Qt headers the test suites share.

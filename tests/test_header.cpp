// The library that builds the test programs' precompiled GoogleTest header
// needs one source of its own; the header is all it holds.

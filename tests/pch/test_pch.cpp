// Compiled only to make the precompiled test header that every test program
// reuses (see hrl_test in cmake/testing.cmake).

// A shared library that is no client library at all: the loader opens it and
// finds none of the client functions.
extern "C" __attribute__((visibility("default"))) int kq_not_a_client_library() { return 1; }

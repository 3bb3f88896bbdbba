// The start of a minimal C++ program: what the program's own start is
// measured against.
#include <cstdio>
int main() { std::puts("x"); }

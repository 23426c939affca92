// Built with the flags of every program here, for the hardening test: a
// copy of a length known only at run time into a buffer of a size known
// when compiling is checked at run time where the flags fortify functions.
// The programs themselves have no such copy, so their binaries cannot show
// it.

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    char buffer[16];
    std::strcpy(buffer, argc > 1 ? argv[1] : "");
    return std::puts(buffer) < 0;
}

// Stands in for the setup program in the update tests: it writes the path
// it was started from into the file that TALVOREN_STAND_IN_MARKER names.

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const char* marker = std::getenv("TALVOREN_STAND_IN_MARKER");
    FILE* file = marker ? std::fopen(marker, "wb") : nullptr;
    if (!file) {
        return 1;
    }
    std::fputs(argc > 0 ? argv[0] : "", file);
    return std::fclose(file) == 0 ? 0 : 1;
}

#include <cstdio>

int main() {
    std::puts("mailvetter-cli " MV_VERSION);
    return 0;
}

// Program entry of kx4720r-sim, the instrument simulator.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::fprintf(stderr, "kx4720r-sim: not built yet\n");
    return 1;
}

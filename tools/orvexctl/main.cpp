#include "orvexctl.h"

int main(int argc, char **argv)
{
    return Orvexctl::run(argc, argv);
}

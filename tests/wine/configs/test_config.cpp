// Product records of test programs that call the setup's code directly: the
// product as it ships, with download addresses on the loopback interface.
#include "app/config_tamaris.cpp"

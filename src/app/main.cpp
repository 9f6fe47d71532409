#include "app/CTessarineApp.h"

int main(int argc, char** argv) { return tessarine::CTessarineApp::Run(argc, argv); }

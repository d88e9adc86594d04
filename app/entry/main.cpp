// The program's entry: arguments as UTF-8, then the application entry. Exit code 0 always.
#include "app/form_lumbrake.h"
#include "platform/args.h"
#include "platform/utf8_args.h"

int main(int argc, char** argv) {
    platform::utf8_arguments(argc, argv);
    platform::set_args(argc, argv);
    return EntradaAplicacion();
}

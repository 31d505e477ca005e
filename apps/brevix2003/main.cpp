// Brevix2003, the current edition.
#include "ui/composer.h"

int main(int argc, char** argv) { return brevix::RunComposer(brevix::Brevix2003Edition(), argc, argv); }

// Brevix, the earlier edition.
#include "ui/composer.h"

int main(int argc, char** argv) { return brevix::RunComposer(brevix::BrevixEdition(), argc, argv); }

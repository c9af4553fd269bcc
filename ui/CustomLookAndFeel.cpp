#include "ui/CustomLookAndFeel.h"

CustomLookAndFeel::CustomLookAndFeel() = default;
CustomLookAndFeel::~CustomLookAndFeel() = default;

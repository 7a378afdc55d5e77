#include "res/TemplateParts.h"

#include "res/Resource.h"

std::vector<DialogTemplate> MainTemplates()
{
    return {};
}

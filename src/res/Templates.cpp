#include "res/Templates.h"

#include "res/TemplateParts.h"

const DialogTemplate* FindDialogTemplate(int number)
{
    static const std::vector<DialogTemplate> templates = [] {
        std::vector<DialogTemplate> all;
        for (auto part : {MainTemplates, CommTemplates, UpdateTemplates, ParamTemplates})
            for (DialogTemplate& t : part())
                all.push_back(std::move(t));
        return all;
    }();
    for (const DialogTemplate& t : templates)
        if (t.number == number)
            return &t;
    return nullptr;
}

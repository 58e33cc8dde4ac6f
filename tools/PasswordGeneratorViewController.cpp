#include "tools/PasswordGeneratorViewController.h"

namespace keskor {

PasswordGeneratorViewController::PasswordGeneratorViewController(Presenter& presenter,
                                                                 TextLookup text,
                                                                 RandomSource& random,
                                                                 Target target, CopyCallback copy,
                                                                 bool largeLayout)
    : m_standard(text, random, copy, largeLayout), m_advanced(presenter, text, random, copy),
      m_target(std::move(target)) {}

void PasswordGeneratorViewController::onOk() {
    const QString password = m_tab == Tab::Standard ? m_standard.password() : m_advanced.password();
    if (!password.isEmpty() && m_target) {
        m_target(password);
    }
    m_closed = true;
}

} // namespace keskor

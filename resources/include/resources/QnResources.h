#pragma once

/// The compiled-in pictures (":/img/...", ":/RiDovud/res/...", ":/resource/...", ":/images/a/...",
/// ":/res/imgs/..."), the function page's QML (":/qml/...") and translation catalogues
/// (":/trans/QnLynClient_zh_CN", ":/resource/update.qm").
namespace QnResources {

/// Registers the resource data of the qn_resources library with Qt's resource system. Every program
/// and test that links qn_resources calls it once before the first ":/..." look-up (the data lives
/// in a static library, so nothing registers it implicitly). Safe to call again and from any thread;
/// needs no QCoreApplication.
void init();

} // namespace QnResources

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>UpdateMain</name>
    <message>
        <source>error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>The upgrade failed, please go to the official website to download again</source>
        <translation>升级失败，请去官网进行下载</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Warm Remind</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The respect customer, need administrator privileges to run the upgrade process</source>
        <translation>尊敬的客户，需要管理员权限才能运行升级程序</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
</context>
<context>
    <name>UpdateDownloader</name>
    <message>
        <source>write %1 file failed</source>
        <translation>写入%1文件失败</translation>
    </message>
</context>
</TS>

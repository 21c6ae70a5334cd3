<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>QObject</name>
    <message>
        <source>The receiver is running. Opening the sender forces the receiver to be closed,Do you want to continue?</source>
        <translation>接收端正在运行，打开发送端将
强制关闭接收端是否继续？</translation>
    </message>
    <message>
        <source>title</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>QnLynClient</source>
        <translation>昆洛传屏</translation>
    </message>
</context>
<context>
    <name>QnHomeWidget</name>
    <message>
        <source>The current device is using Ethernet, please make sure that the sender and the current device are in the same LAN</source>
        <translation>当前设备正在使用有线网络，请确保发送端与接收端处于同一局域网</translation>
    </message>
</context>
<context>
    <name>QnLynAboutWidget</name>
    <message>
        <source>quenlo lyn current version:</source>
        <translation>昆洛传屏 当前版本：</translation>
    </message>
    <message>
        <source>submit failed</source>
        <translation>提交失败</translation>
    </message>
    <message>
        <source>submit sussess</source>
        <translation>提交成功</translation>
    </message>
    <message>
        <source>It is the latest version!</source>
        <translation>已是最新版本</translation>
    </message>
</context>
<context>
    <name>QnLynAutoConnectWidget</name>
    <message>
        <source>The current device is using Ethernet, please make sure that the sender and the current device are in the same LAN</source>
        <translation>当前设备正在使用有线网络，请确保发送端与接收端处于同一局域网</translation>
    </message>
    <message>
        <source>The current device is not connected to the local area network</source>
        <translation>当前设备未连接局域网</translation>
    </message>
    <message>
        <source>After connecting to the network, it will automatically jump to the function homepage</source>
        <translation>连接网络后将自动跳转到功能首页</translation>
    </message>
</context>
<context>
    <name>QnLynConnectWidget</name>
    <message>
        <source>quenlo sender</source>
        <translation>昆洛传屏发送端</translation>
    </message>
    <message>
        <source>quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>The extension monitor is not detected. Please plug in the extension monitor and try again</source>
        <translation>未检测到拓展显示器，请接入拓展显示器后重试</translation>
    </message>
    <message>
        <source>he connection failed. Please try again</source>
        <translation>连接失败，请重新尝试</translation>
    </message>
    <message>
        <source>Are you sure to log out?</source>
        <translation>确定要退出登录吗？</translation>
    </message>
    <message>
        <source>login out</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>Network abnormal, please check network Settings</source>
        <translation>网络异常，请检查网络设置</translation>
    </message>
</context>
<context>
    <name>QnLynSettingWidget</name>
    <message>
        <source>login</source>
        <translation>登录</translation>
    </message>
</context>
<context>
    <name>QnLynUploadAgainWidget</name>
    <message>
        <source>upload</source>
        <translation>上传</translation>
    </message>
</context>
<context>
    <name>QnMainWidget</name>
    <message>
        <source>Network abnormal, please check network Settings</source>
        <translation>网络异常，请检查网络设置</translation>
    </message>
    <message>
        <source>Wrong account or password</source>
        <translation>账号或密码错误</translation>
    </message>
    <message>
        <source>connect successfully</source>
        <translation>连接成功</translation>
    </message>
    <message>
        <source>The connection failed. Please try again</source>
        <translation>连接失败，请重新尝试</translation>
    </message>
    <message>
        <source>connect failed</source>
        <translation>连接码输入错误或未连接到同一网络</translation>
    </message>
    <message>
        <source>The connection is broken</source>
        <translation>连接已断开</translation>
    </message>
    <message>
        <source>The number of screen projectors has reached the limit, please wait for other devices to disconnect and initiate the screen project</source>
        <translation>投屏设备数量已达上限，请等候其他设备断开后发起投屏</translation>
    </message>
    <message>
        <source>Mirror for screen</source>
        <translation>镜像投屏</translation>
    </message>
    <message>
        <source>Expand for screen</source>
        <translation>拓展投屏</translation>
    </message>
    <message>
        <source>The extension monitor is not detected. Please plug in the extension monitor and try again</source>
        <translation>未检测到拓展显示器，请接入拓展显示器后重试</translation>
    </message>
    <message>
        <source>Desktop mutex</source>
        <translation>远程控制功能（桌面同步/鼠
标遥控器）已被占用，请等
待其他用户结束使用后重试</translation>
    </message>
    <message>
        <source>Desktop sync</source>
        <translation>桌面同步</translation>
    </message>
    <message>
        <source>select files</source>
        <translation>选择图片</translation>
    </message>
    <message>
        <source>select documents files</source>
        <translation>选择文档</translation>
    </message>
    <message>
        <source>Images(*.png *.jpg *.jpeg *.svg *.bmp *.gif *.heif *.heic)</source>
        <translation>图片(*.png *.jpg *.jpeg *.svg *.bmp *.gif *.heif *.heic)</translation>
    </message>
    <message>
        <source>Images(*.ppt *.pptx *.xls *.xlsx *.doc *.docx *.pdf *.txt)</source>
        <translation>文档(*.ppt *.pptx *.xls *.xlsx *.doc *.docx *.pdf *.txt)</translation>
    </message>
    <message>
        <source>No more than 9 pictures can be uploaded</source>
        <translation>单次上传图片数量不超过9张</translation>
    </message>
    <message>
        <source>No more than 9 files can be uploaded</source>
        <translation>单次上传文档数量不超过9个</translation>
    </message>
    <message>
        <source>picture upload successfully</source>
        <translation>图片上传成功</translation>
    </message>
    <message>
        <source>document upload successfully</source>
        <translation>文档上传成功</translation>
    </message>
    <message>
        <source>The connection is broken,desktop disconnected </source>
        <translation>连接异常，桌面同步已断开</translation>
    </message>
    <message>
        <source>The connection is broken,lyn screen disconnected </source>
        <translation>连接异常，投屏已断开</translation>
    </message>
</context>
<context>
    <name>QnVideoItem</name>
    <message>
        <source>No media</source>
        <translation>无媒体</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>加载中...</translation>
    </message>
    <message>
        <source>Loaded</source>
        <translation>已加载</translation>
    </message>
    <message>
        <source>Stalled</source>
        <translation>播放卡顿</translation>
    </message>
    <message>
        <source>Buffering...</source>
        <translation>缓冲中...</translation>
    </message>
    <message>
        <source>Buffered</source>
        <translation>缓冲完成</translation>
    </message>
    <message>
        <source>Invalid meida</source>
        <translation>无效的媒体</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>The receiver is running. Opening the sender forces the receiver to be closed,Do you want to continue?</source>
        <translation>接收端正在运行，打开发送端将
强制关闭接收端是否继续？</translation>
    </message>
    <message>
        <source>title</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>QnLynClient</source>
        <translation>昆洛传屏</translation>
    </message>
    <message>
        <source>uploading (</source>
        <translation>上传中（</translation>
    </message>
    <message>
        <source>0/0</source>
        <translation>0/0</translation>
    </message>
    <message>
        <source>)</source>
        <translation>）</translation>
    </message>
</context>
</TS>

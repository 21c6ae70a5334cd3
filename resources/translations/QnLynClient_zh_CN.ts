<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CoverFlow</name>
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
<context>
    <name>CTimerButton</name>
    <message>
        <source>Send Code</source>
        <translation>获取验证码</translation>
    </message>
    <message>
        <source>%1s after</source>
        <translation>%1S</translation>
    </message>
</context>
<context>
    <name>ForgetPwdWidget</name>
    <message>
        <source>Forget Password</source>
        <translation>忘记密码</translation>
    </message>
    <message>
        <source>Set Password</source>
        <translation>设置密码</translation>
    </message>
    <message>
        <source>The format of the mobile phone number is not correct.</source>
        <translation>手机号码格式不正确</translation>
    </message>
    <message>
        <source>Captcha code sent successfully</source>
        <translation>验证码发送成功</translation>
    </message>
    <message>
        <source>6-16,Support letters, numbers, and underscores.</source>
        <translation>6-16位支持字母、数字、下划线</translation>
    </message>
    <message>
        <source>The two passwords don't match.</source>
        <translation>两次输入密码不一致</translation>
    </message>
    <message>
        <source>Password changed successfully</source>
        <translation>密码修改成功</translation>
    </message>
</context>
<context>
    <name>HttpSession</name>
    <message>
        <source>Login abnormal, please try again</source>
        <translation>登录异常，请重新尝试</translation>
    </message>
    <message>
        <source>Mobile phone number is not registered</source>
        <translation>手机号码未注册</translation>
    </message>
    <message>
        <source>Account password error</source>
        <translation>账号或密码错误</translation>
    </message>
    <message>
        <source>The account does not exist or has been deleted</source>
        <translation>账号不存在或已删除</translation>
    </message>
    <message>
        <source>Captcha retrieval failed</source>
        <translation>验证码获取失败</translation>
    </message>
    <message>
        <source>Phone is use</source>
        <translation>手机号已经注册</translation>
    </message>
    <message>
        <source>Captcha error</source>
        <translation>验证码错误</translation>
    </message>
    <message>
        <source>The phone number has been registered</source>
        <translation>手机号码已经注册</translation>
    </message>
</context>
<context>
    <name>LoginMain</name>
    <message>
        <source>quenlo classroom</source>
        <translation>昆洛课堂</translation>
    </message>
    <message>
        <source>  quenlo lynserver</source>
        <translation>昆洛传屏</translation>
    </message>
</context>
<context>
    <name>LoginWidget</name>
    <message>
        <source>The format of the mobile phone number is not correct</source>
        <translation>手机号码格式不正确</translation>
    </message>
    <message>
        <source>Account password error</source>
        <translation>账号或密码错误</translation>
    </message>
    <message>
        <source>Network abnormal, please check network Settings</source>
        <translation>网络异常，请检查网络设置</translation>
    </message>
</context>
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
    <message>
        <source>Picture upload</source>
        <translation>上传头像</translation>
    </message>
    <message>
        <source>The picture cannot be opened.</source>
        <translation>图片无法打开，请选择其他图片</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
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
    <name>QnLynLoginWidget</name>
    <message>
        <source>The format of the mobile phone number is not correct.</source>
        <translation>手机号码格式不正确</translation>
    </message>
    <message>
        <source>Network abnormal, please check network Settings</source>
        <translation>网络异常，请检查网络设置</translation>
    </message>
    <message>
        <source>Mobile number not registered</source>
        <translation>手机号码未注册</translation>
    </message>
</context>
<context>
    <name>QnLynModifyPasswordDialog</name>
    <message>
        <source>Request failed, please try again</source>
        <translation>请求失败，请重新尝试</translation>
    </message>
    <message>
        <source>6-16,Support letters, numbers, and underscores.</source>
        <translation>6-16位支持字母、数字、下划线</translation>
    </message>
    <message>
        <source>The two passwords don't match.</source>
        <translation>两次密码输入不一致</translation>
    </message>
    <message>
        <source>password error</source>
        <translation>密码错误</translation>
    </message>
    <message>
        <source>password modify success</source>
        <translation>修改成功</translation>
    </message>
</context>
<context>
    <name>QnLynModifyPhoneNum</name>
    <message>
        <source>Request failed, please try again</source>
        <translation>请求失败，请重新尝试</translation>
    </message>
    <message>
        <source>The format of the mobile phone number is not correct.</source>
        <translation>手机号码格式不正确</translation>
    </message>
    <message>
        <source>password error</source>
        <translation>密码错误</translation>
    </message>
    <message>
        <source>phone is use</source>
        <translation>手机号码已注册</translation>
    </message>
    <message>
        <source>phone num modify success</source>
        <translation>修改成功</translation>
    </message>
    <message>
        <source>Captcha error</source>
        <translation>验证码错误</translation>
    </message>
    <message>
        <source>Get Captcha</source>
        <translation>获取验证码</translation>
    </message>
    <message>
        <source>s again get Captcha</source>
        <translation>s重新获取</translation>
    </message>
</context>
<context>
    <name>QnLynPersonalCenterWidget</name>
    <message>
        <source>Request failed, please try again</source>
        <translation>请求失败，请重新尝试</translation>
    </message>
    <message>
        <source>The head image could not be saved.</source>
        <translation>头像保存失败</translation>
    </message>
    <message>
        <source>The head image upload failed.</source>
        <translation>头像上传失败</translation>
    </message>
    <message>
        <source>The head image cannot exceed 10m.</source>
        <translation>头像不能超过10MB</translation>
    </message>
    <message>
        <source>modify success</source>
        <translation>修改成功</translation>
    </message>
</context>
<context>
    <name>QnLynRegisterWidget</name>
    <message>
        <source>Request failed, please try again</source>
        <translation>请求失败，请重新尝试</translation>
    </message>
    <message>
        <source>The format of the mobile phone number is not correct.</source>
        <translation>手机号码格式不正确</translation>
    </message>
    <message>
        <source>Network abnormal, please check network Settings</source>
        <translation>网络异常，请检查网络设置</translation>
    </message>
    <message>
        <source>Captcha code sent successfully</source>
        <translation>验证码发送成功</translation>
    </message>
    <message>
        <source>phone is use</source>
        <translation>手机号码已注册</translation>
    </message>
    <message>
        <source>Mobile phone number not registered</source>
        <translation>手机号码未注册</translation>
    </message>
    <message>
        <source>Captcha error</source>
        <translation>验证码错误</translation>
    </message>
    <message>
        <source>Get Captcha</source>
        <translation>获取验证码</translation>
    </message>
    <message>
        <source>s again get Captcha</source>
        <translation>s重新获取</translation>
    </message>
    <message>
        <source>Please read and check the User Agreement</source>
        <translation>请阅读并勾选用户协议</translation>
    </message>
    <message>
        <source>6-16,Support letters, numbers, and underscores.</source>
        <translation>6-16位支持字母、数字、下划线</translation>
    </message>
    <message>
        <source>The two passwords don't match.</source>
        <translation>两次输入密码不一致</translation>
    </message>
    <message>
        <source>forgot password</source>
        <translation>忘记密码</translation>
    </message>
    <message>
        <source>finished</source>
        <translation>完成</translation>
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
    <name>RegisterWidget</name>
    <message>
        <source>The format of the mobile phone number is not correct.</source>
        <translation>手机号码格式不正确</translation>
    </message>
    <message>
        <source>Captcha code sent successfully</source>
        <translation>验证码发送成功</translation>
    </message>
    <message>
        <source>6-16,Support letters, numbers, and underscores.</source>
        <translation>6-16位支持字母、数字、下划线</translation>
    </message>
    <message>
        <source>The two passwords don't match.</source>
        <translation>两次输入密码不一致</translation>
    </message>
    <message>
        <source>Register successfully</source>
        <translation>注册成功</translation>
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
<context>
    <name>QnVideoItem</name>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Full screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>Controls</source>
        <translation>控制栏</translation>
    </message>
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
    <name>QnVideoProgressBar</name>
    <message>
        <source>Play</source>
        <translation>播放</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>音量</translation>
    </message>
</context>
</TS>

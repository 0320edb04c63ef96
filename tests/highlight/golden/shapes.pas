{ shapes.pas - areas of a few shapes, with a small class hierarchy }
program Shapes;

{$APPTYPE CONSOLE}

uses
  SysUtils, Math;

type
  TShape = class
  public
    function Area: Double; virtual; abstract;
    function Name: string; virtual;
  end;

  TCircle = class(TShape)
  private
    FRadius: Double;
  public
    constructor Create(ARadius: Double);
    function Area: Double; override;
    function Name: string; override;
  end;

function TShape.Name: string;
begin
  Result := 'shape';
end;

constructor TCircle.Create(ARadius: Double);
begin
  inherited Create;
  FRadius := ARadius;
end;

function TCircle.Area: Double;
begin
  Result := Pi * Sqr(FRadius);   // pi r squared
end;

function TCircle.Name: string;
begin
  Result := 'circle';
end;

var
  S: TShape;
  I: Integer;
begin
  for I := 1 to 3 do
  begin
    S := TCircle.Create(I * 1.5);
    try
      WriteLn(Format('%s %d: %8.3f', [S.Name, I, S.Area]));
    finally
      S.Free;
    end;
  end;
  (* the end of the program *)
  if $FF <> 255 then
    WriteLn('#13 is a carriage return: '#13'.');
end.

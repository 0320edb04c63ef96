unit Strings2;

interface

function Reverse(const S: string): string;
function CountChar(const S: string; C: Char): Integer;

implementation

function Reverse(const S: string): string;
var
  I, N: Integer;
begin
  N := Length(S);
  SetLength(Result, N);
  for I := 1 to N do
    Result[I] := S[N - I + 1];
end;

function CountChar(const S: string; C: Char): Integer;
var
  P: PChar;
begin
  Result := 0;
  P := PChar(S);
  while P^ <> #0 do
  begin
    if P^ = C then
      Inc(Result);
    Inc(P);
  end;
end;

end.
